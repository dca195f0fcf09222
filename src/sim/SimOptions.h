#pragma once
// The command line of the tola400-sim program.

#include <string>
#include <vector>

#include "sim/Tola400Model.h"

namespace tola {

struct SimCommandLine {
  Tola400Options model;
  std::string name;     // fixed port name; empty: the first free ttySIM<N>
  std::string logPath;  // traffic log; empty: none
  bool help = false;
  bool version = false;
};

// Reads the arguments after the program name. Options take their value as the next argument or
// after "=". On a mistake returns false with `error` naming it.
bool ParseSimCommandLine(const std::vector<std::string>& args, SimCommandLine& out, std::string& error);

// Reads a revision as "NN.NN" or as its number 0..9999 ("01.23" and "123" are the same).
bool ParseRevision(const std::string& text, std::uint16_t& revision);

std::string SimUsage(const std::string& program);

}  // namespace tola
