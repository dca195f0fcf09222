#pragma once
// The one line a command ends with when its port went away under it (a simulator stopped, an
// adapter pulled), and the exit status that goes with it.

#include <string>

#include "cli/Console.h"

namespace tola::cli {

// What a restore or a firmware load cut short leaves behind, and what to do about it.
extern const char* const kRestoreCutShort;
extern const char* const kLoadCutShort;

// When the port's device went away: prints "The port NAME went away." with `consequence` after it
// on the same line and returns true (the command then exits with kExitPortUnavailable).
bool ReportPortWentAway(Console& console, const std::string& consequence = {});

}  // namespace tola::cli
