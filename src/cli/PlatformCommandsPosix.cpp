#include "cli/DoctorCommand.h"
#include "cli/PlatformCommands.h"

namespace tola::cli {

const std::vector<PlatformCommand>& PlatformCommands() {
  static const std::vector<PlatformCommand> commands{
      {{"doctor", kDoctorHelp, DoctorCommand},
       "  doctor                check what keeps the serial port from working here, and say what to do\n",
       "; for doctor, a fix is suggested"},
  };
  return commands;
}

}  // namespace tola::cli
