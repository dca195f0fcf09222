#include "cli/Console.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "app/ErrorText.h"
#include "dialogue/Routing.h"
#include "platform/RegistryStore.h"
#include "platform/Terminal.h"
#include "serial/CSerialPort.h"

namespace tola::cli {

bool ParseGlobalOptions(std::vector<std::string>& args, GlobalOptions& options, std::string& error) {
  std::vector<std::string> rest;
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::optional<std::string>& into) {
      if (i + 1 >= args.size()) {
        error = "option " + a + " needs a value";
        return false;
      }
      into = args[++i];
      return true;
    };
    if (a == "--") {
      break;  // operands only from here; the command still needs to see where they start
    } else if (a == "--port") {
      if (!value(options.port)) return false;
    } else if (a.rfind("--port=", 0) == 0) {
      options.port = a.substr(7);
    } else if (a == "--settings") {
      if (!value(options.settingsFile)) return false;
    } else if (a.rfind("--settings=", 0) == 0) {
      options.settingsFile = a.substr(11);
    } else if (a == "--verbose" || a == "-v") {
      options.verbose = true;
    } else if (a == "--trace") {
      options.trace = true;
    } else if (a == "--quiet" || a == "-q") {
      options.quiet = true;
    } else if (a == "--yes" || a == "-y") {
      options.yes = true;
    } else if (a == "--version") {
      options.version = true;
    } else if (a.size() > 2 && a[0] == '-' && std::isalpha(static_cast<unsigned char>(a[1]))) {
      // Short flags run together ("-qy"): every letter must be one of them.
      for (const char c : a.substr(1)) {
        switch (c) {
          case 'v': options.verbose = true; break;
          case 'q': options.quiet = true; break;
          case 'y': options.yes = true; break;
          case 'h': rest.push_back("-h"); break;
          default:
            error = std::string("unknown option \"-") + c + "\" in \"" + a + "\"";
            return false;
        }
      }
    } else {
      rest.push_back(a);
    }
  }
  rest.insert(rest.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
  args = std::move(rest);
  return true;
}

std::string DescribeCode(ResultCode code) {
  std::string text = FormatText("0x%08X", code);
  const std::string meaning = ErrorText(code);
  if (!meaning.empty()) text += ": " + meaning;
  return text;
}

Console::Console(const GlobalOptions& options) : m_options(options) {
  auto port = MakeSystemSerialPort(m_host);
  auto store = MakeSettingsStore(options.settingsFile);
  store->SetReadOnly(true);  // the command line reads the settings and never writes them
  m_app = std::make_unique<AppState>(m_host, std::move(port), std::move(store));
  m_app->SetLogSink(this);
  const bool hiveNamed = options.settingsFile || HivePathNamedByUser();
  if (const std::string problem = m_app->SettingsFileProblem(hiveNamed); !problem.empty()) {
    Error("Warning: " + problem);
  }
  m_app->LoadSettings();
  if (options.port) m_app->port.Set(*options.port);
  if (options.verbose) m_app->verboseLogging.Set(1);
  if (options.trace) m_app->trace.Set(1);

  m_host.SetAnswerer([this](const std::string& text, const std::string& caption, BoxButtons buttons,
                            BoxIcon icon, BoxAnswer defaultButton) {
    return Answer(text, caption, buttons, icon, defaultButton);
  });
  m_router = std::make_unique<EventRouter>(*m_app);

  m_host.CatchInterrupts([this] { OnSignal(); });
}

Console::~Console() {
  m_router.reset();
  m_app.reset();  // closes the port before the host goes
}

void Console::OnSignal() {
  if (m_interrupted) {
    Error("Interrupted.");
    m_app.reset();
    std::_Exit(kExitCancelled);
  }
  m_interrupted = true;
  if (m_onInterrupt) m_onInterrupt();
  // A handler that asked and was told to go on has cleared the mark: the next Ctrl+C is handled
  // again, so promising a quit would be wrong.
  if (m_interrupted) Error("Cancelling... (Ctrl+C again to quit at once)");
}

bool Console::RunUntil(const std::function<bool()>& done, std::uint32_t limitMs) {
  return m_host.RunUntil(done, limitMs);
}

void Console::OnLogLine(const std::string& text, bool /*verbose*/) {
  m_lastLogLine = text;
  if (m_options.quiet) return;
  std::cerr << text << std::endl;
}

void Console::ErrorFromLog() {
  if (m_options.quiet && !m_lastLogLine.empty()) Error(m_lastLogLine);
}

void Console::Error(const std::string& text) { std::cerr << text << std::endl; }

std::function<void(const std::string&)> Console::TraceHook() {
  if (!m_options.trace) return nullptr;
  return [this](const std::string& text) {
    if (!m_options.quiet) std::cerr << text << std::endl;
  };
}

BoxAnswer Console::Answer(const std::string& text, const std::string& caption, BoxButtons buttons,
                          BoxIcon icon, BoxAnswer defaultButton) {
  // A command whose port went away ends with one line saying so; an operation's error box would
  // only repeat it.
  if (buttons == BoxButtons::Ok && icon == BoxIcon::Error && m_app && m_app->PortLost()) return BoxAnswer::Ok;
  const char* kind = icon == BoxIcon::Error ? "Error" : icon == BoxIcon::Warning ? "Warning" : "Note";
  std::cerr << kind << " (" << caption << "): " << text << std::endl;
  if (buttons == BoxButtons::Ok) return BoxAnswer::Ok;
  const bool yesNo = buttons == BoxButtons::YesNo || buttons == BoxButtons::YesNoCancel;
  if (m_options.yes) return yesNo ? BoxAnswer::Yes : BoxAnswer::Ok;
  const BoxAnswer refusal = yesNo ? BoxAnswer::No : BoxAnswer::Cancel;
  // Without a terminal the box's default answers, as Enter would; a box without one is refused.
  const BoxAnswer unattended = defaultButton != BoxAnswer::None ? defaultButton : refusal;
  if (!InputIsTerminal()) {
    std::cerr << (unattended == refusal ? "No terminal to answer on; refused (use --yes to agree)."
                                        : "No terminal to answer on; the default answer is taken.")
              << std::endl;
    return unattended;
  }
  for (;;) {
    std::cerr << (yesNo ? "[y/n] " : "[ok/cancel] ") << std::flush;
    std::string line;
    if (!std::getline(std::cin, line)) return unattended;
    // Enter alone answers as it would in a box that has a default.
    if (line.empty() && defaultButton != BoxAnswer::None) return defaultButton;
    if (yesNo && (line == "y" || line == "Y" || line == "yes")) return BoxAnswer::Yes;
    if (yesNo && (line == "n" || line == "N" || line == "no")) return BoxAnswer::No;
    if (!yesNo && (line == "ok" || line == "o")) return buttons == BoxButtons::RetryCancel ? BoxAnswer::Retry : BoxAnswer::Ok;
    if (!yesNo && (line == "cancel" || line == "c")) return BoxAnswer::Cancel;
  }
}

}  // namespace tola::cli
