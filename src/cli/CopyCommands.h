#pragma once
// `tola copy-firmware`: "Copy New Files from Ostravel" on the command line, with the controller the
// Firmware page's dialog uses.

#include <optional>
#include <string>
#include <vector>

#include "cli/Console.h"

namespace tola::cli {

extern const char* const kCopyFirmwareHelp;

// Takes the command's own arguments (global options already split off); returns the exit status.
int CopyFirmwareCommand(const GlobalOptions& options, std::vector<std::string>& args);

// Fills `folder` (or the "FirmwareFolder" setting) from `server` (or the "FileServer" setting);
// neither override is saved.
int RunCopyFirmware(Console& console, const std::optional<std::string>& folder,
                    const std::optional<std::string>& server);

}  // namespace tola::cli
