#include "cli/CopyCommands.h"

#include <algorithm>
#include <iostream>
#include <optional>

#include "app/Format.h"
#include "cli/Arguments.h"
#include "cli/Progress.h"
#include "firmware/FileServerCopy.h"
#include "firmware/FirmwareFolder.h"
#include "platform/FileSystem.h"

namespace tola::cli {

const char* const kCopyFirmwareHelp = R"(Usage: tola copy-firmware [--folder DIR] [--server HOST[:PORT]]

Does what the Firmware page's "Copy New Files from Ostravel" does: logs in anonymously to the
maker's file server, lists "TOLA/firmware" and copies into the firmware folder the newest firmware
file when it is newer than the local one or the local one is damaged, and the release notes when
they are needed. Every copied firmware file is checked as Intel HEX and fetched again when the
check fails, three attempts in all; a local file is replaced only by a copy that has been checked,
so a transfer cut short leaves the old file as it was. No amplifier is needed.

The dialog's lines go to standard error, with a progress bar while a file transfers; standard
output gets the folder, how many files were copied and the firmware revision now available.

  --folder DIR          the folder to fill instead of the "FirmwareFolder" setting (a folder
                        that does not exist is created after asking; --yes agrees)
  --server HOST[:PORT]  the file server instead of the "FileServer" setting (default
                        ftp.ostravel.com, port 21); used for this run only

Ctrl+C cancels at once; no partly copied file is left behind.

Exit status: 0 everything needed was copied (or nothing was needed); 1 a file could not be copied
or an error was reported on the way (also when the folder was not created); 2 wrong command line;
7 the file server could not be reached or refused the login; 130 cancelled with Ctrl+C.
)";

namespace {

constexpr const char* kClickCloseLine = "Click \"Close\" to close this window";

// The dialog on a terminal. Its reported lines go both to its log and to the main window's; here
// they are printed once, on standard error with the other log lines.
class TerminalCopyView : public FileServerCopyView, public LogSink {
 public:
  explicit TerminalCopyView(Console& console) : m_console(console), m_app(console.App()) { m_app.SetLogSink(this); }
  ~TerminalCopyView() override { m_app.SetLogSink(&m_console); }
  TerminalCopyView(const TerminalCopyView&) = delete;
  TerminalCopyView& operator=(const TerminalCopyView&) = delete;

  // --- LogSink
  void OnLogLine(const std::string& text, bool verbose) override {
    const bool echo = text == m_echo;
    m_echo.clear();
    if (echo) return;
    ClearBar();
    m_console.OnLogLine(text, verbose);
  }

  // --- FileServerCopyView
  void AppendLog(const std::string& text) override {
    m_echo = text;
    if (text == kClickCloseLine || m_console.Options().quiet) return;  // there is no window to close
    ClearBar();
    std::cerr << text << std::endl;
  }
  void SetBusy(bool) override {}
  void SetButtonCaption(const std::string&) override {}
  void SetTransferProgress(const std::string& name, std::uint64_t received, std::uint64_t total) override {
    if (total == 0 || total > 0xFFFFFFFFu) return;  // no size, no bar
    if (name != m_barName) {
      m_bar.reset();
      m_barName = name;
      m_app.progressPosition.Set(0);
      m_app.progressRange.Set(static_cast<std::uint32_t>(total));
      m_bar.emplace(m_app, "Copying " + name, !m_console.Options().quiet);
    }
    m_app.progressRange.Set(static_cast<std::uint32_t>(total));
    m_app.progressPosition.Change(static_cast<std::uint32_t>(std::min(received, total)));
  }
  void CloseView(int) override { ClearBar(); }

  void ClearBar() {
    if (m_bar) m_bar->Finish();
  }

 private:
  Console& m_console;
  AppState& m_app;
  std::string m_echo;
  std::optional<ProgressBar> m_bar;
  std::string m_barName;
};

}  // namespace

int CopyFirmwareCommand(const GlobalOptions& options, std::vector<std::string>& args) {
  std::optional<std::string> folder, server;
  std::string error;
  if (!TakeOption(args, "--folder", folder, error) || !TakeOption(args, "--server", server, error) ||
      UnknownOption(args, error)) {
    return Usage(error);
  }
  if (!args.empty()) return Usage("copy-firmware takes no operands");
  if (folder && folder->empty()) return Usage("--folder needs a folder");
  if (server && server->empty()) return Usage("--server needs a host name");
  Console console(options);
  return RunCopyFirmware(console, folder, server);
}

int RunCopyFirmware(Console& console, const std::optional<std::string>& folder,
                    const std::optional<std::string>& server) {
  AppState& app = console.App();
  if (folder) app.firmwareFolder.Set(AbsolutePath(*folder));
  if (server) app.fileServer.Set(*server);
  const std::string localFolder = app.firmwareFolder.Get();

  int status = kExitOk;
  {
    TerminalCopyView view(console);
    FileServerCopy copy(app, view, MakeFtpSession(console.Host()), localFolder, ScanFirmwareFolder(localFolder));
    if (!copy.Open()) {
      console.Error("Nothing was copied: the folder \"" + localFolder + "\" does not exist.");
      return kExitFailed;
    }
    console.SetInterruptHandler([&copy] { copy.PressButton(); });
    copy.Run();
    console.RunUntil([&copy] { return copy.IsClosed() || !copy.IsBusy(); }, 0);
    console.SetInterruptHandler(nullptr);
    view.ClearBar();

    // Once connected, every failure ends with the connection closed and the dialog closing by
    // itself, so a dialog left open with a network error never reached the server.
    const bool unreachable = !copy.IsClosed() && IsInternetCode(copy.LastResult());
    if (copy.LastResult() == kErrorCancelled) {
      status = kExitCancelled;
    } else if (unreachable) {
      console.ErrorFromLog();
      status = kExitNoServer;
    } else if (copy.FilesNotCopied() != 0 || copy.ErrorReported() || copy.Result() == FileServerCopy::kResultFailure) {
      console.ErrorFromLog();
      if (copy.FilesNotCopied() != 0) {
        console.Error(FormatText("%u of %u files could not be copied.", copy.FilesNotCopied(),
                                 static_cast<unsigned>(copy.FetchList().size())));
      }
      status = kExitFailed;
    }
    if (status == kExitOk || status == kExitFailed) {
      const unsigned copied = static_cast<unsigned>(copy.FetchList().size()) - copy.FilesNotCopied();
      std::cout << "Folder:     " << localFolder << "\n"
                << "Copied:     " << copied << (copied == 1 ? " file" : " files") << "\n"
                << "Available:  " << AvailableRevisionText(ScanFirmwareFolder(localFolder)) << std::endl;
    }
  }
  return status;
}

}  // namespace tola::cli
