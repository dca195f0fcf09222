#include "cli/Commands.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <cstdio>
#include <functional>
#include <iostream>
#include <optional>

#include "app/VersionLines.h"
#include "cli/Arguments.h"
#include "cli/ConfigCommands.h"
#include "cli/Console.h"
#include "cli/CopyCommands.h"
#include "cli/FileCommands.h"
#include "cli/FirmwareCommands.h"
#include "cli/OperateCommands.h"
#include "cli/PlatformCommands.h"
#include "cli/PortCommands.h"

namespace tola::cli {

namespace {

constexpr const char* kHelpUpToCommands = R"(Usage: tola [GLOBAL OPTIONS] COMMAND [ARGUMENTS]

Looks after a TOLA400 amplifier on a serial port from the command line.

Commands:
  ports                 list the serial ports of this computer (and running simulators)
  test                  run the port test: open the port, find the speed, identify the amplifier
  send TEXT             send TEXT unchanged and print what comes back
  hex-check FILE        check a firmware file (Intel HEX) without an amplifier
  config-check FILE     check a configuration file without an amplifier
  save-config [FILE]    save the amplifier's configuration (both EEPROMs) to a file
  restore-config FILE   write a saved configuration back into the amplifier
  faults [--csv]        print the amplifier's fault table, newest entry first
  erase-memories        erase the antenna tuner's memories of a band and antenna
  reset-config          reset the amplifier to its factory default configuration
  antennas [STRING]     show which antennas each band may use, or set them
  monitor               poll the amplifier as the Operate page does, one line per cycle
  set ITEM [VALUE]      make one Operate page change (attenuator, antenna, mode, ...)
  load-firmware [FILE]  send firmware (default: the newest file of the firmware folder)
  copy-firmware         copy new firmware and release notes from the maker's file server
)";

constexpr const char* kHelpUpToOptions = R"(
Global options (anywhere before a "--"; after it everything is an operand):
)";

constexpr const char* kHelpUpToExitStatus = R"(  --verbose, -v         also print verbose lines
  --trace               also print the trace lines of the dialogue (what is sent and received)
  --quiet, -q           print no log lines and no progress bar (outcomes and errors still appear)
  --yes, -y             answer Yes to every question (otherwise asked on the terminal, or refused
                        when there is none)
  --help, -h            this text; `tola COMMAND --help` explains one command
  --version             the program's name and revision
Short options may be run together: -qy is -q -y.

Output:
  Standard output carries the data: tables, CSV, what `send` receives, the `test` outcome, the
  `ports` list and the line that says what was done. Log lines, progress bars, questions, warnings
  and errors go to standard error, so `tola faults --csv > faults.csv` holds only the table.

Exit status:
  0    success
  1    the operation failed, was refused (a question answered No, or no terminal to ask on), or
       its output could not be written)";

constexpr const char* kHelpRest = R"(
  2    wrong command line (or no port chosen)
  3    the port is missing, used by another program, not permitted, or went away while in use
  4    nothing answered in the time allowed
  5    the TOLA400 answers from its bootstrap loader, not its firmware (also a loader left in
       the middle of a download: `tola load-firmware` sends the firmware again)
  6    a device other than the TOLA400 answered
  7    the file server could not be reached or refused the login (copy-firmware)
  130  cancelled with Ctrl+C
)";

std::string GeneralHelp() {
  std::string text = kHelpUpToCommands;
  for (const PlatformCommand& command : PlatformCommands()) text += command.listLine;
  text += kHelpUpToOptions;
  text += kPlatformOptionLines;
  text += kHelpUpToExitStatus;
  for (const PlatformCommand& command : PlatformCommands()) text += command.exitNote;
  return text + kHelpRest;
}

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands{
      {"ports",
       R"(Usage: tola ports

Lists the serial ports of this computer as the Port page offers them: every tty that has a device
behind it (placeholders of unused serial chips left out) and the ports published by running
tola400-sim simulators, with what the system knows of each: its driver and, for USB adapters,
vendor and product. Nothing is opened.
)",
       [](const GlobalOptions& options, std::vector<std::string>& args) {
         if (std::string error; UnknownOption(args, error)) return Usage(error);
         if (!args.empty()) return Usage("ports takes no arguments");
         return RunPorts(options);
       }},
      {"test",
       R"(Usage: tola test [--timeout SECONDS]

Runs the port test of "Test Communications": opens the port at 38,400 bit/s, polls with ";" and
steps through 38,400, 19,200, 9,600 and 4,800 bit/s until the amplifier answers, identifies it
("^I;"), and reads its firmware revision ("^RV;") and serial number ("^sn;"). Each log line is
printed as it happens, then the outcome: port, speed, connection state, device, revision and
serial number.

  --timeout SECONDS     give up when nothing answers within this time (default 30, at least 1)

The log lines go to standard error, the outcome to standard output. Exit status 0 only when the TOLA400 firmware answered; see `tola --help` for the others.
)",
       [](const GlobalOptions& options, std::vector<std::string>& args) {
         std::uint32_t timeout = 30;
         std::string error;
         if (!TakePositive(args, "--timeout", timeout, error) || UnknownOption(args, error)) return Usage(error);
         if (!args.empty()) return Usage("unexpected argument \"" + args[0] + "\"");
         Console console(options);
         return RunTest(console, timeout);
       }},
      {"send",
       R"(Usage: tola send TEXT [--wait MS] [--timeout SECONDS]

Runs the port test, then sends TEXT exactly as given (for example "^sw;") and prints what the
amplifier sends back, one response per line, until the line has been quiet for MS milliseconds.
Bytes that are not printable are shown as \xHH. TEXT must not be empty; one that begins with "-"
goes after "--" (tola send -- -x).

  --wait MS             how long the line must stay quiet before the command ends (default 500)
  --timeout SECONDS     time allowed for the port test (default 30, at least 1)

Exit status 0 when something came back, 4 when nothing answered within the wait.
)",
       [](const GlobalOptions& options, std::vector<std::string>& args) {
         std::uint32_t wait = 500;
         std::uint32_t timeout = 30;
         std::string error;
         if (!TakeNumber(args, "--wait", wait, error) || !TakePositive(args, "--timeout", timeout, error) ||
             UnknownOption(args, error)) {
           return Usage(error);
         }
         if (args.size() != 1) return Usage("send needs exactly one TEXT");
         if (args[0].empty()) return Usage("send needs a TEXT that is not empty");
         Console console(options);
         return RunSend(console, args[0], wait, timeout);
       }},
      {"hex-check",
       R"(Usage: tola hex-check FILE

Reads a firmware file (Intel HEX) as a firmware load would, without an amplifier: prints the
address range of its records, how many data bytes fall in the amplifier's flash window and the
result of the checksum reconciliation; for a bad file the failing line and the error. Exit status 0
when the file could be sent, 1 otherwise.
)",
       [](const GlobalOptions&, std::vector<std::string>& args) {
         if (std::string error; UnknownOption(args, error)) return Usage(error);
         if (args.size() != 1) return Usage("hex-check needs exactly one FILE");
         return RunHexCheck(args[0]);
       }},
      {"config-check",
       R"(Usage: tola config-check FILE [--serial N]

Verifies a configuration file as a restore would, without an amplifier: its CRC, its lines, and
with --serial the serial number it was saved from (N is the amplifier's serial number; a mismatch
is asked about as in a restore, so give --yes or answer on the terminal). Prints the header,
serial number and revisions, and how many MEM2 and MEM3 bytes a restore would write. Exit status
0 for a good file, 1 otherwise.

  --serial N            the amplifier's serial number (0 to 65535)
)",
       [](const GlobalOptions& options, std::vector<std::string>& args) {
         std::uint32_t serialValue = 0x10000;
         std::string error;
         if (!TakeNumber(args, "--serial", serialValue, error) || UnknownOption(args, error)) return Usage(error);
         if (args.size() != 1) return Usage("config-check needs exactly one FILE");
         std::optional<std::uint16_t> serial;
         if (serialValue != 0x10000) {
           if (serialValue > 0xFFFF) return Usage("--serial must be 0 to 65535");
           serial = static_cast<std::uint16_t>(serialValue);
         }
         Console console(options);
         return RunConfigCheck(console, args[0], serial);
       }},
      {"erase-memories", kEraseMemoriesHelp, EraseMemoriesCommand},
      {"reset-config", kResetConfigHelp, ResetConfigCommand},
      {"antennas", kAntennasHelp, AntennasCommand},
      {"monitor", kMonitorHelp, MonitorCommand},
      {"set", kSetHelp, SetCommand},
      {"load-firmware", kLoadFirmwareHelp, LoadFirmwareCommand},
      {"copy-firmware", kCopyFirmwareHelp, CopyFirmwareCommand},
      {"save-config", kSaveConfigHelp, SaveConfigCommand},
      {"restore-config", kRestoreConfigHelp, RestoreConfigCommand},
      {"faults", kFaultsHelp, FaultsCommand},
  };
  return commands;
}

const Command* FindCommand(const std::string& name) {
  for (const Command& command : Commands()) {
    if (command.name == name) return &command;
  }
  for (const PlatformCommand& platform : PlatformCommands()) {
    if (platform.command.name == name) return &platform.command;
  }
  return nullptr;
}

bool WantsHelp(const std::vector<std::string>& args) {
  const auto end = args.begin() + static_cast<std::ptrdiff_t>(OptionsEnd(args));
  return std::find(args.begin(), end, "--help") != end || std::find(args.begin(), end, "-h") != end;
}

int RunCommand(std::vector<std::string> args) {
  GlobalOptions options;
  std::string error;
  if (!ParseGlobalOptions(args, options, error)) return Usage(error);
  const bool help = WantsHelp(args);
  if (options.version && !help) {
    std::cout << ProgramVersionLine() << std::endl;
    return kExitOk;
  }
  // "tola -- COMMAND ...": the command is the first operand.
  if (!args.empty() && args[0] == "--") {
    args.erase(args.begin());
    if (!args.empty()) args.insert(args.begin() + 1, "--");
  }
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    if (args.size() >= 2 && args[0] == "help") args.erase(args.begin());
    else {
      std::cout << GeneralHelp();
      return args.empty() && !help ? kExitUsage : kExitOk;
    }
  }
  const Command* command = FindCommand(args[0]);
  if (command == nullptr) return Usage("unknown command \"" + args[0] + "\"");
  if (help) {
    std::cout << command->help;
    return kExitOk;
  }
  std::vector<std::string> rest(args.begin() + 1, args.end());
  return command->run(options, rest);
}

}  // namespace

int Dispatch(std::vector<std::string> args) {
  int status = RunCommand(std::move(args));
  // Output that never arrived is a failure even when the command itself went well: a script
  // reading a truncated table must not be told all is fine.
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  const int flushError = errno;
  std::cout.flush();
  if (!flushed || std::ferror(stdout) || !std::cout.good()) {
    std::cerr << "tola: the output could not be written"
              << (flushed || flushError == 0 ? std::string() : std::string(": ") + std::strerror(flushError)) << std::endl;
    if (status == kExitOk) status = kExitFailed;
  }
  return status;
}

}  // namespace tola::cli
