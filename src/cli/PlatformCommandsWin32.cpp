#include "cli/PlatformCommands.h"

namespace tola::cli {

// Windows needs no checks of device groups and services: the port either opens or says why.
const std::vector<PlatformCommand>& PlatformCommands() {
  static const std::vector<PlatformCommand> none;
  return none;
}

}  // namespace tola::cli
