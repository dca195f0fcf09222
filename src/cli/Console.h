#pragma once
// What every `tola` command shares: the options, a real-time host, the serial port, the settings
// (read, never written), where lines and boxes go, questions on the terminal, Ctrl+C, and the exit
// statuses scripts rely on.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "dialogue/Routing.h"
#include "platform/PollHost.h"

namespace tola::cli {

// Exit statuses; documented in `tola --help`.
enum ExitStatus : int {
  kExitOk = 0,
  kExitFailed = 1,          // the operation failed (the amplifier refused, a file was bad, ...)
  kExitUsage = 2,           // wrong command line
  kExitPortUnavailable = 3, // the port is missing, in use or not permitted
  kExitNoAnswer = 4,        // nothing answered within the time allowed
  kExitLoader = 5,          // the TOLA400 answered from its bootstrap loader, not its firmware
  kExitOtherDevice = 6,     // something other than a TOLA400 answered
  kExitNoServer = 7,        // the file server could not be reached or refused the login
  kExitCancelled = 130,     // Ctrl+C
};

struct GlobalOptions {
  std::optional<std::string> port;
  std::optional<std::string> settingsFile;
  bool verbose = false;
  bool trace = false;
  bool quiet = false;
  bool yes = false;  // answer Yes to every question
  bool version = false;
};

// Splits the global options off `args` (they may stand anywhere before a "--", which is left in
// place for the command); false with a message on error.
bool ParseGlobalOptions(std::vector<std::string>& args, GlobalOptions& options, std::string& error);

class Console : public LogSink {
 public:
  explicit Console(const GlobalOptions& options);
  ~Console() override;
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  PollHost& Host() { return m_host; }
  AppState& App() { return *m_app; }
  EventRouter& Router() { return *m_router; }
  const GlobalOptions& Options() const { return m_options; }

  // Runs the loop until `done` holds; false when `limitMs` (0 = none) ran out first.
  bool RunUntil(const std::function<bool()>& done, std::uint32_t limitMs);
  // Set by the first Ctrl+C; a second one ends the program at once unless the handler cleared it.
  bool Interrupted() const { return m_interrupted; }
  // After a Ctrl+C that was answered "go on": the next one is handled again instead of quitting.
  void ClearInterrupted() { m_interrupted = false; }
  // What a Ctrl+C does while an operation runs (normally the dialog's Cancel).
  void SetInterruptHandler(std::function<void()> handler) { m_onInterrupt = std::move(handler); }
  // Where serial events go when no machine runs (the page of the selected tab, in the GUI).
  void SetPageHandler(std::function<void()> handler) { m_router->SetPageSerialHandler(std::move(handler)); }

  // Log lines go to standard error, so that standard output holds only the data.
  void OnLogLine(const std::string& text, bool verbose) override;
  // Standard error, whatever --quiet says.
  void Error(const std::string& text);
  // When the last log line says why an operation failed: shows it as the error if --quiet hid it.
  void ErrorFromLog();
  // Trace lines of a machine go to standard error when --trace was given.
  std::function<void(const std::string&)> TraceHook();

 private:
  BoxAnswer Answer(const std::string& text, const std::string& caption, BoxButtons buttons, BoxIcon icon,
                   BoxAnswer defaultButton);
  void OnSignal();

  GlobalOptions m_options;
  PollHost m_host;
  std::unique_ptr<AppState> m_app;
  std::unique_ptr<EventRouter> m_router;  // goes before the AppState it is installed in
  bool m_interrupted = false;
  std::function<void()> m_onInterrupt;
  std::string m_lastLogLine;
};

// The text of a result code as the program shows it: "0x%08X: text".
std::string DescribeCode(ResultCode code);

}  // namespace tola::cli
