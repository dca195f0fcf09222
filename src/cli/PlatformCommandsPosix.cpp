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

const char* const kPlatformOptionLines =
    "  --port NAME           the serial port (\"ttyUSB0\", \"ttySIM0\", or a path); default: the \"Port\"\n"
    "                        setting of the TOLA Utility\n"
    "  --settings FILE       read the settings from FILE instead of the usual hive (never written)\n";

}  // namespace tola::cli
