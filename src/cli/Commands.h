#pragma once
// The command table of `tola`: parsing, help texts and dispatch.

#include <string>
#include <vector>

namespace tola::cli {

// Runs the command named by `args` (without the program name); returns the exit status.
int Dispatch(std::vector<std::string> args);

}  // namespace tola::cli
