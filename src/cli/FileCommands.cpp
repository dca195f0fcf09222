#include "cli/FileCommands.h"

#include <iostream>

#include "formats/ConfigurationFile.h"
#include "formats/FirmwareImage.h"
#include "operations/ConfigRestoreController.h"

namespace tola::cli {

int RunHexCheck(const std::string& path) {
  ResultCode result = 0;
  const std::string summary = DescribeFirmwareFile(path, result);
  (result == 0 ? std::cout : std::cerr) << summary;
  if (!summary.empty() && summary.back() != '\n') (result == 0 ? std::cout : std::cerr) << '\n';
  return result == 0 ? kExitOk : kExitFailed;
}

int RunConfigCheck(Console& console, const std::string& path, std::optional<std::uint16_t> serial) {
  AppState& app = console.App();
  ConfigurationReport report;
  const std::string summary = DescribeConfigurationFile(path, serial.value_or(kSerialNumberUnknown), report);
  const ResultCode result = JudgeConfigurationFile(report, app.advancedMode.Get() != 0, app);
  // A bad file's summary says what is wrong with it: an error, not data.
  std::ostream& out = result == 0 ? std::cout : std::cerr;
  out << summary;
  if (!summary.empty() && summary.back() != '\n') out << '\n';
  // A refused question is a failure; only Ctrl+C is a cancel.
  if (console.Interrupted()) return kExitCancelled;
  return result == 0 ? kExitOk : kExitFailed;
}

}  // namespace tola::cli
