#include "cli/PortLoss.h"

namespace tola::cli {

const char* const kRestoreCutShort =
    "The amplifier may hold part of the configuration and was not restarted: restore again once the "
    "port is back.";
const char* const kLoadCutShort =
    "The amplifier's bootstrap loader may be waiting in the middle of the download: load the firmware "
    "again once the port is back.";

bool ReportPortWentAway(Console& console, const std::string& consequence) {
  AppState& app = console.App();
  if (!app.PortLost()) return false;
  std::string line = "The port " + app.port.Get() + " went away.";
  if (!consequence.empty()) line += " " + consequence;
  console.Error(line);
  return true;
}

}  // namespace tola::cli
