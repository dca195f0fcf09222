#pragma once
// `tola load-firmware`: "Send Firmware to TOLA400" on the command line, with the same controllers
// the Firmware page uses.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/Console.h"

namespace tola::cli {

extern const char* const kLoadFirmwareHelp;

// Takes the command's own arguments (global options already split off); returns the exit status.
int LoadFirmwareCommand(const GlobalOptions& options, std::vector<std::string>& args);

// `file` empty: the newest firmware file of `folder` (or of the "FirmwareFolder" setting).
// `timeoutSeconds` bounds the wait for the bootstrap loader after the instructions are shown.
int RunLoadFirmware(Console& console, const std::string& file, const std::optional<std::string>& folder,
                    std::uint32_t timeoutSeconds);

}  // namespace tola::cli
