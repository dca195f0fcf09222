#include "cli/ConfigCommands.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <iostream>

#include "cli/Arguments.h"
#include "cli/PortCommands.h"
#include "cli/PortLoss.h"
#include "cli/Progress.h"
#include "formats/ConfigurationFile.h"
#include "operations/ConfigRestoreController.h"
#include "operations/ConfigSaveController.h"
#include "operations/FaultTableController.h"
#include "platform/FileSystem.h"

namespace tola::cli {

const char* const kSaveConfigHelp = R"(Usage: tola save-config [FILE] [--timeout SECONDS]

Saves the amplifier's configuration as the "Save Configuration..." button does: checks that the
file can be written (its folder exists and is writable, the name is not a folder, a device or
another special file), runs the port test, then reads both EEPROMs whole (MEM2, 1024 bytes in 16
blocks; MEM3, 16384 bytes in 256 blocks) and writes them to a configuration file protected by a
CRC-32. Nothing is written when the reading fails or is cancelled; a symbolic link to a file is
followed and the file it names is replaced.

FILE defaults to the proposed name (SN<serial>.<date>T<time>.TOLAConfig) in the configuration
folder (the "ConfigurationFolder" setting, else the default folder "TOLA Configuration"). An
existing FILE is replaced only after a Yes (on the terminal, or --yes).

  --timeout SECONDS     time allowed for the port test (default 30)

Ctrl+C cancels as the dialog's "Cancel" does. Exit status 0 when the file was written, 1 when the
reading or the writing failed or FILE was not to be replaced, 130 when cancelled with Ctrl+C; see
`tola --help` for the others.
)";

const char* const kRestoreConfigHelp = R"(Usage: tola restore-config FILE [--advanced] [--timeout SECONDS]

Restores a configuration file made by save-config, as the "Restore Configuration..." button does:
reads the whole file and checks its CRC and lines, runs the port test, checks the serial number
against the amplifier's before anything is sent, then writes the restorable parts into the EEPROMs (never MEM2 bank 0 below address 0x20,
never the fault table), restarts the amplifier ("^RS;") and returns amplifier and port to the speed
they used before.

  --advanced            a file of another amplifier may be restored after a warning (answer Yes
                        on the terminal, or give --yes); without it such a file is refused
  --timeout SECONDS     time allowed for the port test (default 30)

Ctrl+C asks, as the dialog's "Cancel" does, whether to interrupt the restore (--yes agrees; with
no terminal the restore goes on). An interrupted restore leaves the EEPROMs partly rewritten and
the amplifier not restarted: restore again. Exit status 0 when restored, 1 when the file was
refused or the writing failed, 130 when cancelled.
)";

const char* const kFaultsHelp = R"(Usage: tola faults [--csv] [--timeout SECONDS]

Reads the amplifier's fault table as the "Display Fault Table..." button does (the index of the
newest record, then the 256-record ring) and prints it newest entry first: index, fault code,
time stamp (days, hours, minutes, seconds of operation), frequency and the fault's measurement.

  --csv                 comma-separated values with a header line, for spreadsheets
  --timeout SECONDS     time allowed for the port test (default 30)

Ctrl+C ends at once, as the dialog's "Close" does. Exit status 0 when the table was read, 1 when
the amplifier did not answer, 130 when cancelled.
)";

namespace {

constexpr std::uint32_t kDefaultTimeoutSeconds = 30;
constexpr const char kReplaceQuestion[] = "\"%s\" already exists.\nDo you want to replace it?";





// While `console`'s loop runs, a machine's trace lines go where --trace sends them.
void TraceTo(Console& console, CStateMachine* machine) {
  if (machine != nullptr) machine->SetTraceHook(console.TraceHook());
}

// CSV field: quoted when it holds a comma, a quote or white space at either end.
std::string CsvField(const std::string& text) {
  const bool quote = text.find_first_of(",\"\n") != std::string::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

void PrintFaultTable(const std::vector<FaultRow>& rows, bool csv) {
  std::array<std::string, 5> headers;
  for (std::size_t i = 0; i < headers.size(); ++i) headers[i] = FaultTableController::kColumns[i];
  auto fields = [](const FaultRow& r) {
    return std::array<std::string, 5>{r.index, r.faultCode, r.timestamp, r.frequency, r.variableData};
  };
  if (csv) {
    for (std::size_t i = 0; i < headers.size(); ++i) std::cout << (i ? "," : "") << CsvField(Trimmed(headers[i]));
    std::cout << "\n";
    for (const FaultRow& r : rows) {
      const auto f = fields(r);
      for (std::size_t i = 0; i < f.size(); ++i) std::cout << (i ? "," : "") << CsvField(f[i]);
      std::cout << "\n";
    }
    std::cout << std::flush;
    return;
  }
  // Each column as wide as the larger of its header and its widest entry, as the dialog sizes them.
  std::array<std::size_t, 5> widths{};
  for (std::size_t i = 0; i < headers.size(); ++i) widths[i] = headers[i].size();
  for (const FaultRow& r : rows) {
    const auto f = fields(r);
    for (std::size_t i = 0; i < f.size(); ++i) widths[i] = std::max(widths[i], f[i].size());
  }
  auto printLine = [&widths](const std::array<std::string, 5>& f) {
    std::string line;
    for (std::size_t i = 0; i < f.size(); ++i) {
      line += f[i];
      if (i + 1 < f.size()) line += std::string(widths[i] - f[i].size() + 2, ' ');
    }
    std::cout << line.substr(0, line.find_last_not_of(' ') + 1) << "\n";
  };
  printLine(headers);
  for (const FaultRow& r : rows) printLine(fields(r));
  std::cout << std::flush;
}

// The destination of a save, checked before the port test: the FILE given, or the folder the
// proposed name will go in (said when the stored folder is gone and the default is used instead).
ResultCode CheckSaveDestination(Console& console, const std::optional<std::string>& file) {
  AppState& app = console.App();
  std::string where;
  ResultCode check = kErrorSuccess;
  if (file) {
    where = *file;
    check = CheckWritableFile(where);
  } else {
    where = app.configurationFolder.Get();
    if (!IsDirectory(where)) {
      const std::string fallback = app.DefaultFolder(ConfigSaveController::kFolderName);
      if (!where.empty()) {
        console.Error(FormatText("Configuration folder \"%s\" does not exist; saving in \"%s\" instead", where,
                                 fallback));
      }
      where = fallback;
    }
    check = CheckWritableFolder(where);
  }
  if (check != kErrorSuccess) console.Error("Configuration not saved: " + DestinationFault(where, check));
  return check;
}

}  // namespace

int RunSaveConfig(Console& console, const std::optional<std::string>& file, std::uint32_t timeoutSeconds) {
  AppState& app = console.App();
  if (const ResultCode check = CheckSaveDestination(console, file); check != kErrorSuccess) return kExitFailed;
  if (const int status = ConnectFirst(console, timeoutSeconds); status != kExitOk) return status;
  ConfigSaveController save(app);
  if (!save.Open()) {
    console.Error("Another operation is still running.");
    return kExitFailed;
  }
  TraceTo(console, save.Machine());
  std::string path;
  if (file) {
    path = *file;
  } else {
    // A stored folder that is gone is what makes the file dialog fail: the default folder then.
    if (!IsDirectory(save.Folder())) save.FileDialogFailed(true);
    path = save.ProposedPath();
  }
  if (IsRegularFile(path) &&
      app.MessageBox(FormatText(kReplaceQuestion, path), ConfigSaveController::kCaption, BoxButtons::YesNo,
                     BoxIcon::Warning) != BoxAnswer::Yes) {
    save.FileDialogFailed(false);
    console.Error("Nothing was saved.");
    return console.Interrupted() ? kExitCancelled : kExitFailed;
  }

  ProgressBar bar(app, ConfigSaveController::kText, !console.Options().quiet);
  console.SetInterruptHandler([&save] { save.CancelPressed(); });
  if (!save.FileChosen(path)) {
    console.Error("The reading could not be started.");
    return kExitFailed;
  }
  console.RunUntil([&save] { return save.Closed() || !save.Busy(); }, 0);
  console.SetInterruptHandler(nullptr);
  bar.Finish();

  if (ReportPortWentAway(console)) return kExitPortUnavailable;
  const ResultCode outcome = save.Outcome();
  if (outcome == kErrorCancelled) return kExitCancelled;
  if (outcome != kErrorSuccess) {
    console.Error("Configuration not saved: " + DescribeCode(outcome));
    return kExitFailed;
  }
  std::printf("Configuration saved to %s\n", path.c_str());
  std::fflush(stdout);
  return kExitOk;
}

int RunRestoreConfig(Console& console, const std::string& file, bool advanced, std::uint32_t timeoutSeconds) {
  AppState& app = console.App();
  // All but the serial-number comparison is checked before the amplifier is contacted.
  if (const ResultCode check = JudgeConfigurationFile(CheckConfigurationFile(file), false, app);
      check != kErrorSuccess) {
    console.Error("Configuration not restored: " + DescribeCode(check));
    return kExitFailed;
  }
  if (const int status = ConnectFirst(console, timeoutSeconds); status != kExitOk) return status;
  if (advanced) app.advancedMode.Set(1);
  ConfigRestoreController restore(app);
  if (!restore.Open()) {
    console.Error("Another operation is still running.");
    return kExitFailed;
  }
  TraceTo(console, restore.Machine());
  if (!restore.FileChosen(file)) {
    // The reader has said why.
    console.Error("Configuration not restored: " + DescribeCode(restore.Outcome()));
    return console.Interrupted() ? kExitCancelled : kExitFailed;
  }

  ProgressBar bar(app, ConfigRestoreController::kText, !console.Options().quiet);
  console.SetInterruptHandler([&console, &restore] {
    restore.CloseRequested();
    // "No": the restore goes on, and the next Ctrl+C asks again.
    const CStateMachine* machine = restore.Machine();
    if (!restore.Closed() && machine != nullptr && machine->Result() != kErrorCancelled) console.ClearInterrupted();
  });
  console.RunUntil([&restore] { return restore.Closed() || !restore.Busy(); }, 0);
  console.SetInterruptHandler(nullptr);
  bar.Finish();

  if (ReportPortWentAway(console, kRestoreCutShort)) return kExitPortUnavailable;
  const ResultCode outcome = restore.Outcome();
  if (outcome == kErrorCancelled) return kExitCancelled;
  if (outcome != kErrorSuccess) {
    console.Error("Configuration not restored: " + DescribeCode(outcome));
    return kExitFailed;
  }
  std::printf("Configuration restored from %s\n", file.c_str());
  std::fflush(stdout);
  return kExitOk;
}

int RunFaults(Console& console, bool csv, std::uint32_t timeoutSeconds) {
  if (const int status = ConnectFirst(console, timeoutSeconds); status != kExitOk) return status;
  AppState& app = console.App();
  FaultTableController table(app);
  ProgressBar bar(app, "Reading fault table", !console.Options().quiet);
  console.SetInterruptHandler([&table] { table.Close(); });
  const bool started = table.Open();
  TraceTo(console, table.Machine());
  if (started) console.RunUntil([&table] { return table.Closed() || !table.Busy(); }, 0);
  console.SetInterruptHandler(nullptr);
  bar.Finish();

  if (ReportPortWentAway(console)) return kExitPortUnavailable;
  if (table.Closed()) return kExitCancelled;
  if (!started) {
    console.Error("The fault table could not be read: another operation is still running.");
    return kExitFailed;
  }
  if (!table.Listed()) {
    console.Error("Fault table not read: " + DescribeCode(table.Outcome()));
    return kExitFailed;
  }
  PrintFaultTable(table.Rows(), csv);
  return kExitOk;
}

int SaveConfigCommand(const GlobalOptions& options, std::vector<std::string>& args) {
  std::uint32_t timeout = kDefaultTimeoutSeconds;
  std::string error;
  if (!TakePositive(args, "--timeout", timeout, error) || UnknownOption(args, error)) return Usage(error);
  if (args.size() > 1) return Usage("save-config takes at most one FILE");
  Console console(options);
  return RunSaveConfig(console, args.empty() ? std::nullopt : std::optional<std::string>(args[0]), timeout);
}

int RestoreConfigCommand(const GlobalOptions& options, std::vector<std::string>& args) {
  std::uint32_t timeout = kDefaultTimeoutSeconds;
  std::string error;
  const bool advanced = TakeFlag(args, "--advanced");
  if (!TakePositive(args, "--timeout", timeout, error) || UnknownOption(args, error)) return Usage(error);
  if (args.size() != 1) return Usage("restore-config needs exactly one FILE");
  Console console(options);
  return RunRestoreConfig(console, args[0], advanced, timeout);
}

int FaultsCommand(const GlobalOptions& options, std::vector<std::string>& args) {
  std::uint32_t timeout = kDefaultTimeoutSeconds;
  std::string error;
  const bool csv = TakeFlag(args, "--csv");
  if (!TakePositive(args, "--timeout", timeout, error) || UnknownOption(args, error)) return Usage(error);
  if (!args.empty()) return Usage("unexpected argument \"" + args[0] + "\"");
  Console console(options);
  return RunFaults(console, csv, timeout);
}

}  // namespace tola::cli
