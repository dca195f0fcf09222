#pragma once
// `tola erase-memories`, `tola reset-config`, `tola antennas`, `tola monitor` and `tola set`: the
// configuration commands and the Operate page on the command line. Each runs the port test first
// and goes on only when the TOLA400 firmware answers.

#include <optional>
#include <string>
#include <vector>

#include "cli/Console.h"

namespace tola::cli {

extern const char* const kEraseMemoriesHelp;
extern const char* const kResetConfigHelp;
extern const char* const kAntennasHelp;
extern const char* const kMonitorHelp;
extern const char* const kSetHelp;

// Each takes the command's own arguments (global options already split off) and returns the exit
// status.
int EraseMemoriesCommand(const GlobalOptions& options, std::vector<std::string>& args);
int ResetConfigCommand(const GlobalOptions& options, std::vector<std::string>& args);
int AntennasCommand(const GlobalOptions& options, std::vector<std::string>& args);
int MonitorCommand(const GlobalOptions& options, std::vector<std::string>& args);
int SetCommand(const GlobalOptions& options, std::vector<std::string>& args);

// A band as the operator names it ("160" ... "6", "all") as the erase dialog's band index.
std::optional<unsigned> ParseBandName(const std::string& text);

}  // namespace tola::cli
