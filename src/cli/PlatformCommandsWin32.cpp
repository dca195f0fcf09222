#include "cli/PlatformCommands.h"

namespace tola::cli {

// Windows needs no checks of device groups and services: the port either opens or says why.
const std::vector<PlatformCommand>& PlatformCommands() {
  static const std::vector<PlatformCommand> none;
  return none;
}

const char* const kPlatformOptionLines =
    "  --port NAME           the serial port (\"COM3\"); default: the \"Port\" setting of the TOLA\n"
    "                        Utility\n"
    "  --settings FILE       read the settings from FILE (a registry export) instead of the\n"
    "                        registry (never written)\n";

}  // namespace tola::cli
