#include "cli/OperateCommands.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <iostream>

#include "cli/Arguments.h"
#include "cli/PortCommands.h"
#include "cli/PortLoss.h"
#include "dialogue/Routing.h"
#include "operations/ConfigCommandFlows.h"
#include "operations/OperatePoller.h"
#include "platform/Terminal.h"

namespace tola::cli {

const char* const kEraseMemoriesHelp = R"(Usage: tola erase-memories --band BAND --antenna 1|2 [--timeout SECONDS]

Erases the antenna tuner's stored matches for one band and one antenna, as the "Erase Antenna
Tuner Memories" dialog does: runs the port test, then sends "^em" with the band code and the
antenna. The amplifier does not confirm the erase.

  --band BAND           160, 80, 60, 40, 30, 20, 17, 15, 12, 10, 6, or all
  --antenna 1|2         the antenna whose memories go
  --timeout SECONDS     time allowed for the port test (default 30)
)";

const char* const kResetConfigHelp = R"(Usage: tola reset-config --yes [--timeout SECONDS]

Resets the amplifier to its factory default configuration and erases all ATU memories, as the
"Reset to Factory Default Configuration" dialog does ("^ec;"). This is not reversible: consider
saving the configuration first. Without --yes the command asks on the terminal, and refuses when
there is none. The amplifier does not confirm the reset.

  --yes, -y             reset without asking
  --timeout SECONDS     time allowed for the port test (default 30)
)";

const char* const kAntennasHelp = R"(Usage: tola antennas [STRING] [--timeout SECONDS]

Without STRING: reads which antenna outputs each band may use ("^aea;") and prints them.
With STRING: sets them ("^AEA" + STRING) and reads them back until the amplifier holds the string,
as the "Enable Antennas" page does on Apply.

STRING has 11 digits, one per band from 160 m to 6 m: 1 (antenna 1 only), 2 (antenna 2 only) or 3
(both). For example 33311111122.

  --timeout SECONDS     time allowed for the port test (default 30)

Exit status 0 when the string was read (or set and read back), 1 when the amplifier did not answer
or kept another string.
)";

const char* const kMonitorHelp = R"(Usage: tola monitor [--interval MS] [--count N] [--timeout SECONDS]

Polls the amplifier as the Operate page does and prints one line of values per cycle, scaled as the
page shows them: band, frequency, input, forward and reflected power, SWR, drain current, supply
voltage, dissipated power, temperature, fault, operate or standby, attenuator, antenna, tuner mode,
ATU bypass, capacitor side, capacitance and inductance, tune status and the count of failed cycles.
A cycle that fails prints its error instead. Runs until Ctrl+C unless --count is given.

  --interval MS         poll interval, 100 to 30000 (default: the "OperatePollInterval" setting)
  --count N             stop after N cycles (at least 1)
  --timeout SECONDS     time allowed for the port test (default 30)

Exit status 0 when every cycle succeeded, 1 when any failed, 130 after Ctrl+C.
)";

const char* const kSetHelp = R"(Usage: tola set ITEM [VALUE] [--timeout SECONDS]

Makes one change as the Operate page does: the change waits for its step of the polling cycle,
which sends it instead of the query; the next cycle reads the value back, and the command prints it.

  attenuator on|off               the input attenuator
  operate operate|standby         operate, or standby ("PA Bypass")
  antenna 1|2                     the antenna output
  mode auto|manual|bypass         the antenna tuner's mode
  bypass on|off                   "ATU Bypassed"
  side tx|ant                     "Caps on Tx Side" (tx) or the antenna side
  capacitor PF|0xHH               capacitance 0 to 2624 pF, made of the relays that fit, or the
                                  relay byte itself
  inductor NH|0xHH                inductance 0 to 17370 nH, likewise
  clear-fault                     clear the fault the amplifier shows (no VALUE)
  tune                            start a full tune (no VALUE)

  --timeout SECONDS     time allowed for the port test (default 30)

Exit status 0 when the amplifier reports the value asked for, 1 when it reports another or the
change could not be sent.
)";

namespace {

constexpr std::uint32_t kDefaultTimeoutSeconds = 30;
// Cycles allowed for a change to go out, and for its read-back.
constexpr std::size_t kCyclesToSend = 5;
constexpr std::size_t kCyclesToReadBack = 5;




// An option that is not the command's, or an operand too many.
bool RejectUnknown(std::vector<std::string>& args, std::size_t allowedPositional, int& status) {
  if (std::string error; UnknownOption(args, error)) {
    status = Usage(error);
    return true;
  }
  if (args.size() > allowedPositional) {
    status = Usage("unexpected argument \"" + args[allowedPositional] + "\"");
    return true;
  }
  return false;
}

// The code and its text on one line.
std::string CodeLine(ResultCode code) {
  std::string text = DescribeCode(code);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

// Runs a started configuration command to its end; Ctrl+C is the dialog's Cancel.
ResultCode RunToEnd(Console& console, ConfigCommandMachine& machine) {
  machine.SetTraceHook(console.TraceHook());
  console.SetInterruptHandler([&machine] { machine.Cancel(); });
  console.RunUntil([&machine] { return machine.IsIdle(); }, 0);
  console.SetInterruptHandler(nullptr);
  return machine.Result();
}

int StatusOf(Console& console, ResultCode result) {
  if (result == kErrorCancelled || console.Interrupted()) return kExitCancelled;
  return result == 0 ? kExitOk : kExitFailed;
}

std::string BandLabel(unsigned bandIndex) {
  return bandIndex == kBandIndexAll ? std::string("all bands") : std::string(kBandNames[bandIndex]) + " m";
}

void PrintAntennaEnable(const std::string& text) {
  std::printf("Antenna enable:  %s\n", text.c_str());
  std::printf("Band   ANT 1  ANT 2\n");
  for (unsigned band = 0; band < kBandCount && band < text.size(); ++band) {
    const int digit = text[band] - '0';
    std::printf("%-6s %-6s %s\n", kBandNames[band], (digit & 1) ? "on" : "off", (digit & 2) ? "on" : "off");
  }
  std::fflush(stdout);
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string MonitorLine(const AppState& app) {
  const auto tenths = [](const NotifyingValue<std::uint16_t>& v) { return TenthsText(v.Get()); };
  std::string line;
  line += "band=" + BandText(app.bandIndex.Get());
  line += FormatText(" frequency=%u", unsigned{app.frequency.Get()});
  line += " input=" + tenths(app.powerInput);
  line += " forward=" + tenths(app.powerForward);
  line += " reflected=" + tenths(app.powerReflected);
  line += " swr=" + tenths(app.swr);
  line += " current=" + tenths(app.drainCurrent);
  line += " supply=" + SupplyVoltageText(app.supplyVoltage.Get());
  line += " dissipated=" + tenths(app.powerDissipated);
  line += " temperature=" + tenths(app.temperature);
  line += " fault=" + Quoted(FaultText(app.fault.Get()));
  line += " operate=" + OperateValueText(app, OperateControl::Operate);
  line += " attenuator=" + OperateValueText(app, OperateControl::Attenuator);
  line += " antenna=" + OperateValueText(app, OperateControl::Antenna);
  line += " mode=" + OperateValueText(app, OperateControl::Mode);
  line += " atu-bypass=" + OperateValueText(app, OperateControl::Bypass);
  line += " side=" + OperateValueText(app, OperateControl::Side);
  line += FormatText(" capacitance=%upF", RelayValue(app.capacitor.Get(), kCapacitorWeightsPf));
  line += FormatText(" inductance=%unH", RelayValue(app.inductor.Get(), kInductorWeightsNh));
  line += " tune=" + Quoted(app.tuneStatus.Get());
  if (app.transceiverPoll.Get() != 0) line += " xcvr-poll";
  line += FormatText(" retries=%u", app.failedCycles.Get());
  return line;
}

// The Operate page for the length of a command: the page's poll timer goes to it, everything else
// through the usual routing.
class PageSession {
 public:
  explicit PageSession(Console& console) : m_console(console), m_poller(console.App()) {
    console.Router().SetPageTimerFilter([this](unsigned id) { return m_poller.OnTimer(id); });
  }
  ~PageSession() {
    m_poller.Hide();
    m_console.SetInterruptHandler(nullptr);
    m_console.Router().SetPageTimerFilter(nullptr);
  }
  PageSession(const PageSession&) = delete;
  PageSession& operator=(const PageSession&) = delete;

  OperatePoller& Poller() { return m_poller; }

  // Shows the page; Ctrl+C hides it, as leaving the page does.
  bool Show() {
    m_poller.onCycleFinished = [this](ResultCode code) {
      m_results.push_back(code);
      if (m_onCycle) m_onCycle(code);
    };
    m_console.SetInterruptHandler([this] { m_poller.Hide(); });
    if (!m_poller.Show()) return false;
    if (OperateMachine* machine = m_poller.Machine()) machine->SetTraceHook(m_console.TraceHook());
    return true;
  }
  void OnCycle(std::function<void(ResultCode)> handler) { m_onCycle = std::move(handler); }
  const std::vector<ResultCode>& Results() const { return m_results; }
  bool Stopped() const { return m_console.Interrupted() || !m_poller.Showing(); }

 private:
  Console& m_console;
  OperatePoller m_poller;
  std::vector<ResultCode> m_results;
  std::function<void(ResultCode)> m_onCycle;
};

bool SetPending(const OperateMachine& machine, OperateControl control) {
  switch (control) {
    case OperateControl::Attenuator: return machine.Request(OperateItem::Attenuator).pending;
    case OperateControl::Operate: return machine.Request(OperateItem::Operate).pending;
    case OperateControl::Antenna: return machine.Request(OperateItem::Antenna).pending;
    case OperateControl::Mode: return machine.Request(OperateItem::Mode).pending;
    case OperateControl::Bypass: return machine.Request(OperateItem::Bypass).pending;
    case OperateControl::Side: return machine.Request(OperateItem::Side).pending;
    case OperateControl::Capacitor: return machine.Request(OperateItem::Capacitor).pending;
    case OperateControl::Inductor: return machine.Request(OperateItem::Inductor).pending;
    case OperateControl::ClearFault: return machine.Request(OperateItem::Fault).pending;
    case OperateControl::Tune: return machine.TuneRequest().pending;
  }
  return false;
}

}  // namespace

std::optional<unsigned> ParseBandName(const std::string& text) {
  std::string lower = text;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
  if (lower == "all") return kBandIndexAll;
  for (unsigned band = 0; band < kBandCount; ++band) {
    if (lower == kBandNames[band]) return band;
  }
  return std::nullopt;
}

int EraseMemoriesCommand(const GlobalOptions& options, std::vector<std::string>& args) {
  std::optional<std::string> bandText;
  std::uint32_t antenna = 0;
  std::uint32_t timeout = kDefaultTimeoutSeconds;
  std::string error;
  if (!TakeOption(args, "--band", bandText, error) || !TakeNumber(args, "--antenna", antenna, error) ||
      !TakePositive(args, "--timeout", timeout, error)) {
    return Usage(error);
  }
  if (int status = 0; RejectUnknown(args, 0, status)) return status;
  if (!bandText) return Usage("erase-memories needs --band (160, 80, 60, 40, 30, 20, 17, 15, 12, 10, 6 or all)");
  const auto band = ParseBandName(*bandText);
  if (!band) {
    return Usage("no band \"" + *bandText + "\": give 160, 80, 60, 40, 30, 20, 17, 15, 12, 10, 6 or all");
  }
  if (antenna != 1 && antenna != 2) return Usage("erase-memories needs --antenna 1 or --antenna 2");

  Console console(options);
  if (const int status = ConnectFirst(console, timeout); status != kExitOk) return status;
  EraseMemoriesFlow flow(console.App());
  if (flow.Machine() == nullptr) {
    console.Error("Another operation is still running.");
    return kExitFailed;
  }
  flow.ChooseBand(*band);
  if (!flow.EraseAntenna(antenna)) {
    console.Error("The erase could not be started.");
    return kExitFailed;
  }
  const ResultCode result = RunToEnd(console, *flow.Machine());
  const int status = StatusOf(console, result);
  if (status == kExitOk) {
    std::printf("Sent \"%s\": erase the tuner memories of %s, antenna %u (the amplifier does not confirm).\n",
                FormatEraseMemoryCommand(*band, antenna).c_str(), BandLabel(*band).c_str(), antenna);
    std::fflush(stdout);
  } else if (status == kExitFailed) {
    console.Error("Erase failed: " + CodeLine(result));
  }
  return status;
}

int ResetConfigCommand(const GlobalOptions& options, std::vector<std::string>& args) {
  std::uint32_t timeout = kDefaultTimeoutSeconds;
  std::string error;
  if (!TakePositive(args, "--timeout", timeout, error)) return Usage(error);
  if (int status = 0; RejectUnknown(args, 0, status)) return status;
  if (!options.yes && !InputIsTerminal()) {
    return Usage("reset-config erases the whole configuration: confirm with --yes (no terminal to ask on)");
  }

  Console console(options);
  if (const int status = ConnectFirst(console, timeout); status != kExitOk) return status;
  const std::string question =
      std::string("Reset Configuration erases all ATU memories and resets to factory default configuration.\n") +
      ResetConfigurationFlow::kWarning + "\nReset the configuration now?";
  if (console.App().MessageBox(question, ResetConfigurationFlow::kCaption, BoxButtons::YesNo, BoxIcon::Warning) !=
      BoxAnswer::Yes) {
    console.Error("Nothing was reset.");
    return console.Interrupted() ? kExitCancelled : kExitFailed;
  }
  ResetConfigurationFlow flow(console.App());
  if (!flow.Reset()) {
    console.Error("The reset could not be started.");
    return kExitFailed;
  }
  // The dialog closes at once; here the 10 ms wait is let run so that the line is quiet on exit.
  const ResultCode result = RunToEnd(console, *flow.Machine());
  flow.Close();
  const int status = StatusOf(console, result);
  if (status == kExitOk) {
    std::printf("Sent \"^ec;\": reset to the factory default configuration (the amplifier does not confirm).\n");
    std::fflush(stdout);
  }
  return status;
}

int AntennasCommand(const GlobalOptions& options, std::vector<std::string>& args) {
  std::uint32_t timeout = kDefaultTimeoutSeconds;
  std::string error;
  if (!TakePositive(args, "--timeout", timeout, error)) return Usage(error);
  if (int status = 0; RejectUnknown(args, 1, status)) return status;
  std::optional<std::string> desired;
  if (!args.empty()) {
    desired = args[0];
    if (!IsValidAntennaEnable(*desired)) {
      return Usage("\"" + *desired + "\" is not 11 digits of 1 (antenna 1), 2 (antenna 2) or 3 (both), 160 m first");
    }
  }

  Console console(options);
  if (const int status = ConnectFirst(console, timeout); status != kExitOk) return status;
  AppState& app = console.App();
  app.antennaEnable.Set(std::string());
  ConfigCommandSession session(app);
  ConfigCommandMachine* machine = session.Machine();
  if (machine == nullptr) {
    console.Error("Another operation is still running.");
    return kExitFailed;
  }
  const bool started = desired ? machine->StartSetAntennaEnable(*desired) : machine->StartQueryAntennaEnable();
  if (!started) {
    console.Error("The command could not be started.");
    return kExitFailed;
  }
  const ResultCode result = RunToEnd(console, *machine);
  const int status = StatusOf(console, result);
  if (status == kExitCancelled) return status;
  if (result != 0) {
    console.Error((desired ? "The amplifier did not take the antenna enable string: "
                           : "The amplifier did not answer the antenna enable query: ") +
                  CodeLine(result));
    return kExitFailed;
  }
  if (app.antennaEnable.Get().empty()) {
    console.Error("The amplifier's answer to \"^aea;\" could not be read.");
    return kExitFailed;
  }
  if (desired) std::printf("Set and read back.\n");
  PrintAntennaEnable(app.antennaEnable.Get());
  return kExitOk;
}

int MonitorCommand(const GlobalOptions& options, std::vector<std::string>& args) {
  std::uint32_t interval = 0;
  std::uint32_t count = 0;  // 0: until Ctrl+C
  std::uint32_t timeout = kDefaultTimeoutSeconds;
  std::string error;
  if (!TakeNumber(args, "--interval", interval, error) || !TakePositive(args, "--count", count, error) ||
      !TakePositive(args, "--timeout", timeout, error)) {
    return Usage(error);
  }
  if (int status = 0; RejectUnknown(args, 0, status)) return status;
  const bool intervalGiven = interval != 0;
  if (intervalGiven && (interval < 100 || interval > 30000)) return Usage("--interval must be 100 to 30000 ms");

  Console console(options);
  if (const int status = ConnectFirst(console, timeout); status != kExitOk) return status;
  AppState& app = console.App();
  if (intervalGiven) app.operatePollInterval.Set(interval);

  PageSession page(console);
  bool anyFailed = false;
  bool lost = false;
  page.OnCycle([&](ResultCode code) {
    // A silent amplifier is worth waiting for; a port that is gone is not coming back to this run.
    if (app.PortLost()) {
      lost = true;
      return;
    }
    if (code != 0) {
      anyFailed = true;
      std::printf("cycle failed: %s (retries=%u)\n", CodeLine(code).c_str(), app.failedCycles.Get());
    } else {
      std::printf("%s\n", MonitorLine(app).c_str());
    }
    std::fflush(stdout);
  });
  if (!page.Show()) {
    console.Error("Another operation is still running.");
    return kExitFailed;
  }
  console.RunUntil([&] { return lost || page.Stopped() || (count != 0 && page.Results().size() >= count); }, 0);
  if (ReportPortWentAway(console)) return kExitPortUnavailable;
  if (console.Interrupted()) return kExitCancelled;
  return anyFailed ? kExitFailed : kExitOk;
}

int SetCommand(const GlobalOptions& options, std::vector<std::string>& args) {
  std::uint32_t timeout = kDefaultTimeoutSeconds;
  std::string error;
  if (!TakePositive(args, "--timeout", timeout, error) || UnknownOption(args, error)) return Usage(error);
  if (args.empty()) return Usage("set needs an ITEM");
  const auto control = ParseOperateControl(args[0]);
  if (!control) {
    return Usage("no item \"" + args[0] +
                 "\": give attenuator, operate, antenna, mode, bypass, side, capacitor, inductor, clear-fault or tune");
  }
  const std::size_t expected = TakesValue(*control) ? 2 : 1;
  if (args.size() < expected) return Usage(std::string("set ") + OperateControlName(*control) + " needs a VALUE");
  if (args.size() > expected) {
    return Usage(expected == 1 ? std::string("set ") + OperateControlName(*control) + " takes no VALUE"
                               : "unexpected argument \"" + args[expected] + "\"");
  }
  OperateChange change{*control, 0};
  if (!ParseOperateValue(*control, expected == 2 ? args[1] : std::string(), change.value, error)) {
    return Usage(std::string("set ") + OperateControlName(*control) + ": " + error);
  }

  Console console(options);
  if (const int status = ConnectFirst(console, timeout); status != kExitOk) return status;
  AppState& app = console.App();
  PageSession page(console);
  // The cycle in which the change went out, counted from 1.
  std::size_t sentIn = 0;
  page.OnCycle([&](ResultCode) {
    const OperateMachine* machine = page.Poller().Machine();
    if (sentIn == 0 && machine != nullptr && !SetPending(*machine, change.control)) sentIn = page.Results().size();
  });
  if (!page.Show()) {
    console.Error("Another operation is still running.");
    return kExitFailed;
  }
  // Made after the first cycle has begun: it goes out at its step of that cycle.
  page.Poller().Change(change);
  auto readBackDone = [&] {
    const auto& results = page.Results();
    if (sentIn == 0) return results.size() >= kCyclesToSend;
    if (results.size() >= sentIn + kCyclesToReadBack) return true;
    return results.size() > sentIn && results.back() == 0;
  };
  console.RunUntil([&] { return app.PortLost() || page.Stopped() || readBackDone(); }, 0);
  if (ReportPortWentAway(console)) return kExitPortUnavailable;
  if (console.Interrupted()) return kExitCancelled;
  const auto& results = page.Results();
  const char* name = OperateControlName(change.control);
  if (sentIn == 0) {
    console.Error(std::string("The change of ") + name + " could not be sent: " +
                  (results.empty() ? std::string("no cycle ended") : CodeLine(results.back())));
    return kExitFailed;
  }
  if (results.back() != 0) {
    console.Error(std::string("The change of ") + name + " was sent but could not be read back: " +
                  CodeLine(results.back()));
    return kExitFailed;
  }
  const std::string reported = OperateValueText(app, change.control);
  if (!ReportedValueMatches(app, change)) {
    console.Error(std::string(name) + ": the amplifier reports " + reported + " instead of " + args[1]);
    std::printf("%s: %s\n", name, reported.c_str());
    return kExitFailed;
  }
  std::printf("%s: %s\n", name, reported.c_str());
  std::fflush(stdout);
  return kExitOk;
}

}  // namespace tola::cli
