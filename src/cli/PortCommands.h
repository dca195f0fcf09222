#pragma once
// `tola ports`, `tola test`, `tola send`: finding and testing the serial connection.

#include <cstdint>
#include <string>

#include "cli/Console.h"

namespace tola::cli {

int RunPorts(const GlobalOptions& options);

// The port test to its end, as the Port page's "Test Communications"; prints the outcome.
int RunTest(Console& console, std::uint32_t timeoutSeconds);

// Runs the port test and returns its exit status without printing the outcome (0 when the TOLA400
// firmware answered; `acceptLoader` also takes its bootstrap loader). Used before every command
// that talks to the amplifier.
int ConnectFirst(Console& console, std::uint32_t timeoutSeconds, bool acceptLoader = false);

// Sends `text` unchanged once contact is made, then prints what comes back until the line has been
// quiet for `quietMs`.
int RunSend(Console& console, const std::string& text, std::uint32_t quietMs, std::uint32_t timeoutSeconds);

}  // namespace tola::cli
