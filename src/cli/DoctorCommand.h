#pragma once
// `tola doctor`: what keeps the serial port from working on this computer, and what to do.

#include <string>
#include <vector>

#include "cli/Console.h"

namespace tola::cli {

extern const char* const kDoctorHelp;

int DoctorCommand(const GlobalOptions& options, std::vector<std::string>& args);

}  // namespace tola::cli
