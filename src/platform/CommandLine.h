#pragma once
// The program's arguments in UTF-8, like every other string of the program.

#include <string>
#include <vector>

namespace tola {

// The arguments after the program's name. Windows hands main() the arguments in the ANSI code
// page, so there they are read again from the wide command line.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace tola
