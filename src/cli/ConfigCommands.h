#pragma once
// `tola save-config`, `tola restore-config` and `tola faults`: the Configuration page's save,
// restore and fault-table dialogs on the command line. Each first runs the port test and goes on
// only when the TOLA400 firmware answered.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/Console.h"

namespace tola::cli {

extern const char* const kSaveConfigHelp;
extern const char* const kRestoreConfigHelp;
extern const char* const kFaultsHelp;

// Each takes the command's own arguments (global options already split off) and returns the exit
// status.
int SaveConfigCommand(const GlobalOptions& options, std::vector<std::string>& args);
int RestoreConfigCommand(const GlobalOptions& options, std::vector<std::string>& args);
int FaultsCommand(const GlobalOptions& options, std::vector<std::string>& args);

// Saves both EEPROMs to `file`, or to the proposed name in the configuration folder.
int RunSaveConfig(Console& console, const std::optional<std::string>& file, std::uint32_t timeoutSeconds);
// Restores `file`; `advanced` lets the operator override a serial-number mismatch (asked, or --yes).
int RunRestoreConfig(Console& console, const std::string& file, bool advanced, std::uint32_t timeoutSeconds);
// Prints the fault table, newest record first, as aligned columns or as CSV.
int RunFaults(Console& console, bool csv, std::uint32_t timeoutSeconds);

}  // namespace tola::cli
