#pragma once
// `tola hex-check` and `tola config-check`: checking files offline, without an amplifier.

#include <cstdint>
#include <optional>
#include <string>

#include "cli/Console.h"

namespace tola::cli {

int RunHexCheck(const std::string& path);
// `serial`: the amplifier's serial number to check the file against, if given.
int RunConfigCheck(Console& console, const std::string& path, std::optional<std::uint16_t> serial);

}  // namespace tola::cli
