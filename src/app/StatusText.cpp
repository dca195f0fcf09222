#include "app/StatusText.h"

#include "app/AppState.h"
#include "app/VersionLines.h"

namespace tola {

std::string WindowTitle(const AppState& app) {
  std::string title = ProgramVersionLine();
  if (app.serialNumber.Get() != kSerialNumberUnknown) {
    title += FormatText(LoadString(kIdsTitleSerialNumber), app.serialNumber.Get());
  }
  if (const std::string& port = app.port.Get(); !port.empty()) {
    if (app.portOpen.Get() != 0) {
      title += FormatText(LoadString(kIdsTitlePortOpen), port, app.SerialPort().Speed());
    } else {
      title += FormatText(LoadString(kIdsTitlePortClosed), port);
    }
  }
  return title;
}

std::string ConnectionStatusText(const AppState& app) {
  const std::string tola = LoadString(kIdsTola);
  switch (app.ConnectionState()) {
    case kConnectionLoader:
      return FormatText(LoadString(kIdsStatusWaitingForLoader), tola, app.SerialPort().Speed());
    case kConnectionFirmware:
      return FormatText(LoadString(kIdsStatusRevision), tola, RevisionText(app.installedRevision.Get()),
                        app.SerialPort().Speed());
    default:
      break;
  }
  if (app.portOpen.Get() != 0) return FormatText(LoadString(kIdsStatusNotResponding), tola);
  return LoadString(kIdsStatusPortClosed);
}

}  // namespace tola
