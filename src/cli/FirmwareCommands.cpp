#include "cli/FirmwareCommands.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <iostream>
#include <string_view>

#include "cli/PortCommands.h"
#include "cli/PortLoss.h"
#include "cli/Progress.h"
#include "dialogue/ConnectionMachine.h"
#include "firmware/FirmwareFolder.h"
#include "formats/FirmwareImage.h"
#include "operations/SendFirmware.h"
#include "platform/FileSystem.h"
#include "platform/Terminal.h"

namespace tola::cli {

const char* const kLoadFirmwareHelp = R"(Usage: tola load-firmware [FILE] [--folder DIR] [--timeout SECONDS]

Sends a firmware file to the TOLA400 as the Firmware page's "Send Firmware to TOLA400" does. The
whole file is read and checked first (records, checksums, reconciliation word): a bad file is
refused before the amplifier is touched. Then the port test runs; with the firmware running it asks the amplifier into its bootstrap loader
("^LD;"), with the loader already answering it starts at once. When nothing answers, it prints the
"Prepare TOLA to Receive Firmware" instructions (switch the amplifier off for at least 10 seconds
and on again) and waits for the loader. The image goes out as 132-byte packets at 38,400 bit/s with
a progress bar on a terminal; afterwards the amplifier's speed is found again and the revision it
reports is checked against the revision in the file's name.

  FILE                  a firmware file named tola400fwNNNN.hex (NNNN is its revision, e.g.
                        0123 for 01.23); default: the highest-numbered such file in the folder
  --folder DIR          the folder to choose from instead of the "FirmwareFolder" setting
  --timeout SECONDS     how long to wait for the bootstrap loader after the instructions are
                        shown (default 120); the port test before them gives up after at most
                        10 seconds

Ctrl+C during the load asks first, as closing the "Sending Firmware" dialog does (--yes agrees,
no terminal refuses); the amplifier then stays in its loader until firmware is loaded.

Exit status: 0 the firmware was loaded and the revision checked; 1 the load or the check failed,
or there was no firmware file; 2 wrong command line; 3 port unavailable; 4 the bootstrap loader
did not answer in time; 6 another device answered; 130 cancelled with Ctrl+C.
)";

namespace {

constexpr std::uint32_t kDefaultLoaderWaitSeconds = 120;
constexpr std::uint32_t kPortTestLimitSeconds = 10;
constexpr const char* kClickCloseLine = "Click \"Close\" to close this window";

int Usage(const std::string& message) {
  std::cerr << "tola: " << message << " (see `tola load-firmware --help`)" << std::endl;
  return kExitUsage;
}

std::string WithoutLineEnd(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

// The Firmware page and its two dialogs on a terminal. Lines the dialogs write go to their own log
// and to the main window; here they are printed once, on standard error with the other log lines.
class TerminalFirmwareUi : public SendFirmwareUi, public LogSink {
 public:
  TerminalFirmwareUi(Console& console, std::uint32_t loaderWaitSeconds)
      : m_console(console), m_app(console.App()), m_loaderWaitSeconds(loaderWaitSeconds) {
    m_app.SetLogSink(this);
  }
  ~TerminalFirmwareUi() override {
    StopAsking();
    m_app.SetLogSink(&m_console);
  }

  bool Cancelled() const { return m_cancelled; }
  bool LoaderWaitRanOut() const { return m_loaderWaitRanOut; }

  // --- LogSink
  void OnLogLine(const std::string& text, bool verbose) override {
    if (!m_echo.empty() && text == m_echo) {
      m_echo.clear();
      return;
    }
    m_echo.clear();
    ClearBar();
    m_console.OnLogLine(text, verbose);
  }

  // --- SendFirmwareUi
  void AppendPageLog(const std::string& text) override { Print(WithoutLineEnd(text)); }

  void ShowPrepareDialog() override {
    class View : public PrepareFirmwareView {
     public:
      void SetInstructionLine(unsigned, const std::string& text) override { std::cerr << text << std::endl; }
      void CloseView() override {}
    } view;
    std::cerr << PrepareFirmwareController::kTitle << ":" << std::endl;
    PrepareFirmwareController prepare(m_app, view);
    m_console.SetInterruptHandler([this, &prepare] {
      m_cancelled = true;
      prepare.Cancel();
    });
    prepare.Open();
    const bool found = m_console.RunUntil([&prepare] { return !prepare.IsOpen(); }, m_loaderWaitSeconds * 1000);
    if (!found && !m_cancelled) m_loaderWaitRanOut = true;
    prepare.Cancel();
    m_console.SetInterruptHandler(nullptr);
  }

  int ShowSendingDialog() override {
    class View : public SendingFirmwareView {
     public:
      explicit View(TerminalFirmwareUi& ui) : m_ui(ui) {}
      void AppendLog(const std::string& text) override { m_ui.DialogLine(text); }
      void SetTitle(const std::string&) override {}
      void SetProgressRange(std::uint32_t) override {}
      void SetProgressPosition(std::uint32_t) override {}
      void SetBusy(bool) override {}
      void SetButtonCaption(const std::string&) override {}
      void CloseView(int) override {}

     private:
      TerminalFirmwareUi& m_ui;
    } view(*this);

    SendingFirmwareController dialog(m_app, view);
    ShowBar();
    m_console.SetInterruptHandler([this, &dialog] { OnInterrupt(dialog); });
    dialog.Open();
    dialog.Show();
    m_console.RunUntil([&dialog] { return dialog.IsClosed() || dialog.IsFinished(); }, 0);
    StopAsking();
    dialog.RequestClose();  // the load has ended: no question
    m_console.SetInterruptHandler(nullptr);
    m_bar.reset();
    return dialog.Result();
  }

  void UpdateSendButton() override {}

 private:
  void Print(const std::string& text) {
    if (m_console.Options().quiet) return;
    ClearBar();
    std::cerr << text << std::endl;
  }

  // A line of the dialog's log; its copy for the main window follows and is not printed again.
  void DialogLine(const std::string& text) {
    m_echo = text;
    if (text == kClickCloseLine) return;  // there is no window to close
    Print(text);
  }

  void ClearBar() {
    if (m_bar) m_bar->Finish();
  }
  void ShowBar() { m_bar.emplace(m_app, "Sending firmware", !m_console.Options().quiet); }

  // Ctrl+C while sending: the dialog's "Cancel".
  void OnInterrupt(SendingFirmwareController& dialog) {
    if (!dialog.IsRunning() || m_asking) return;
    ClearBar();
    if (m_console.Options().yes || !InputIsTerminal()) {
      // Answered at once: Yes with --yes, refused without a terminal.
      if (dialog.RequestClose()) {
        m_cancelled = true;
      } else {
        m_console.ClearInterrupted();
      }
      return;
    }
    // On a terminal the question waits for its answer while the load goes on, as a box would; the
    // bar keeps off the line meanwhile.
    m_bar.reset();
    std::cerr << "Warning (" << SendingFirmwareController::kCloseQuestionCaption
              << "): " << SendingFirmwareController::kCloseQuestion << std::endl
              << "[y/n] " << std::flush;
    m_asking = true;
    m_answer.clear();
    m_console.Host().WatchInput([this, &dialog](std::string_view bytes) { OnAnswerInput(dialog, bytes); });
  }

  void OnAnswerInput(SendingFirmwareController& dialog, std::string_view bytes) {
    if (bytes.empty()) {
      // No more input: nobody can say Yes.
      StopAsking();
      m_console.ClearInterrupted();
      ShowBar();
      return;
    }
    m_answer.append(bytes);
    for (std::size_t end = m_answer.find('\n'); end != std::string::npos; end = m_answer.find('\n')) {
      const std::string line = WithoutLineEnd(m_answer.substr(0, end));
      m_answer.erase(0, end + 1);
      if (line == "y" || line == "Y" || line == "yes") {
        StopAsking();
        m_cancelled = true;
        dialog.CloseConfirmed();
        return;
      }
      if (line == "n" || line == "N" || line == "no") {
        StopAsking();
        m_console.ClearInterrupted();
        std::cerr << "The load goes on." << std::endl;
        ShowBar();
        return;
      }
      std::cerr << "[y/n] " << std::flush;
    }
  }

  void StopAsking() {
    if (!m_asking) return;
    m_asking = false;
    m_console.Host().UnwatchInput();
  }

  Console& m_console;
  AppState& m_app;
  std::uint32_t m_loaderWaitSeconds;
  std::optional<ProgressBar> m_bar;
  std::string m_echo;
  bool m_cancelled = false;
  bool m_loaderWaitRanOut = false;
  bool m_asking = false;
  std::string m_answer;
};

bool ParseSeconds(const std::string& text, std::uint32_t& value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && value > 0;
}

}  // namespace

int LoadFirmwareCommand(const GlobalOptions& options, std::vector<std::string>& args) {
  std::string file;
  std::optional<std::string> folder;
  std::uint32_t timeout = kDefaultLoaderWaitSeconds;
  bool operandsOnly = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    if (!operandsOnly && name == "--") {
      operandsOnly = true;
      continue;
    }
    if (operandsOnly) {
      if (!file.empty()) return Usage("load-firmware takes one FILE at most");
      file = name;
      continue;
    }
    std::optional<std::string> value;
    if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    if (name == "--folder" || name == "--timeout") {
      if (!value) {
        if (i + 1 >= args.size()) return Usage(name + " needs a value");
        value = args[++i];
      }
      if (name == "--folder") {
        folder = *value;
      } else if (!ParseSeconds(*value, timeout)) {
        return Usage("--timeout needs a whole number of seconds, not \"" + *value + "\"");
      }
    } else if (name.rfind("--", 0) == 0) {
      return Usage("unknown option \"" + name + "\"");
    } else if (file.empty()) {
      file = name;
    } else {
      return Usage("load-firmware takes one FILE at most");
    }
  }
  if (!file.empty() && folder) return Usage("give FILE or --folder, not both");
  if (!file.empty() && !IsFirmwareFileName(FileNameOf(file))) {
    return Usage("\"" + file + "\" is not named as a firmware file (tola400fwNNNN.hex), so its revision is unknown");
  }
  Console console(options);
  return RunLoadFirmware(console, file, folder, timeout);
}

int RunLoadFirmware(Console& console, const std::string& file, const std::optional<std::string>& folder,
                    std::uint32_t timeoutSeconds) {
  AppState& app = console.App();
  FirmwareChoice choice;
  if (!file.empty()) {
    choice.firmwareFile = AbsolutePath(file);
    choice.firmwareRevision = SplitFileName(FileNameOf(file)).revision;
    app.firmwareFolder.Set(FolderOf(choice.firmwareFile));
  } else {
    if (folder) app.firmwareFolder.Set(*folder);
    choice = CheckFirmwareFolder(app, true);
  }
  if (!CanSendFirmware(choice)) {
    app.MessageBox("A required firmware file is missing", "Error", BoxButtons::Ok, BoxIcon::Error);
    return kExitFailed;
  }
  // A file that cannot be sent is refused before the port test, which may already change the speed.
  std::uint32_t faultLine = 0;
  if (const ResultCode check = CheckFirmwareFile(choice.firmwareFile, faultLine); check != kErrorSuccess) {
    console.Error("Firmware file \"" + choice.firmwareFile + "\" cannot be sent: " + FirmwareFileFault(faultLine, check));
    return kExitFailed;
  }

  const int connected = ConnectFirst(console, std::min(timeoutSeconds, kPortTestLimitSeconds), true);
  switch (connected) {
    case kExitOk:
    case kExitNoAnswer:
    case kExitFailed:
      break;  // nothing or the wrong thing answered: the loader is waited for
    default:
      return connected;
  }

  SendFirmwareOutcome outcome;
  bool cancelled = false;
  bool loaderWaitRanOut = false;
  {
    TerminalFirmwareUi ui(console, timeoutSeconds);
    SendFirmware operation(app, ui);
    outcome = operation.Run(choice);
    cancelled = ui.Cancelled();
    loaderWaitRanOut = ui.LoaderWaitRanOut();
  }

  // The port test that follows every send: after a load it finds the new firmware; otherwise there
  // is nobody to wait for.
  Dialogue* connection = app.ConnectionMachine();
  if (outcome == SendFirmwareOutcome::Loaded && connection != nullptr && !connection->IsIdle()) {
    console.SetInterruptHandler([connection] { connection->Cancel(); });
    console.RunUntil([connection] { return connection->IsIdle(); }, kPortTestLimitSeconds * 1000);
    console.SetInterruptHandler(nullptr);
  }

  if (outcome != SendFirmwareOutcome::Loaded &&
      ReportPortWentAway(console, outcome == SendFirmwareOutcome::Failed ? kLoadCutShort : "")) {
    return kExitPortUnavailable;
  }
  switch (outcome) {
    case SendFirmwareOutcome::Loaded: return kExitOk;
    case SendFirmwareOutcome::UnexpectedDevice:
      console.Error("The firmware was not loaded: a device other than the TOLA400 answered.");
      return kExitOtherDevice;
    case SendFirmwareOutcome::NoFirmwareFile: return kExitFailed;
    case SendFirmwareOutcome::NoLoader:
      if (cancelled) return kExitCancelled;
      if (loaderWaitRanOut) {
        console.Error(FormatText("The TOLA400 bootstrap loader did not answer within %u s.", timeoutSeconds));
      }
      return kExitNoAnswer;
    case SendFirmwareOutcome::Failed:
      if (cancelled) return kExitCancelled;
      // The dialog's lines say why, but --quiet hides them.
      console.Error("The firmware was not loaded.");
      return kExitFailed;
  }
  return kExitFailed;
}

}  // namespace tola::cli
