#pragma once
// The commands of `tola` that only one system has, and the help lines that differ by system, kept
// in that system's own file.

#include <functional>
#include <string>
#include <vector>

#include "cli/Console.h"

namespace tola::cli {

struct Command {
  const char* name;
  const char* help;
  std::function<int(const GlobalOptions&, std::vector<std::string>&)> run;
};

struct PlatformCommand {
  Command command;
  const char* listLine;  // its line under "Commands:" of `tola --help`
  const char* exitNote;  // added to the line of exit status 1
};

const std::vector<PlatformCommand>& PlatformCommands();

// The lines of `tola --help` for --port and --settings, whose names and store differ by system.
extern const char* const kPlatformOptionLines;

}  // namespace tola::cli
