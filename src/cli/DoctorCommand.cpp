#include "cli/DoctorCommand.h"

#include <iostream>

#include "cli/Arguments.h"
#include "platform/RegistryStore.h"
#include "serial/PortDiagnosis.h"

namespace tola::cli {

const char* const kDoctorHelp = R"(Usage: tola doctor

Checks what commonly keeps a serial port from working on Linux and prints one line per check:
"OK  what was found", or "FIX what was found: what to do". For the port given with --port, or the
"Port" setting, or else every port `tola ports` lists:
  - the device exists;
  - you may open it (membership of its group, such as dialout or uucp, and whether a new login is
    needed for a group added since);
  - no other program holds it (named when it can be seen: run as root to see every process);
  - the USB adapter's latency timer is 1 ms (the program asks the driver for low latency; said
    when that did not take).
Then, once: whether ModemManager runs (it probes new ttyUSB and ttyACM devices), whether brltty
is installed (it claims some USB-serial adapters), whether the settings file may be read and
written, and whether the firmware and configuration folders are present.

The port is opened only for a moment, to see whether another program keeps it for itself.

Exit status 0 when every check is OK, 1 when a fix is suggested, 2 for a wrong command line.
)";

int DoctorCommand(const GlobalOptions& options, std::vector<std::string>& args) {
  if (std::string error; UnknownOption(args, error)) return Usage(error);
  if (!args.empty()) return Usage("doctor takes no arguments");
  Console console(options);
  AppState& app = console.App();
  DiagnosisRequest request;
  if (!app.port.Get().empty()) request.ports.push_back(app.port.Get());
  if (app.Store() != nullptr) request.settingsFile = app.Store()->HivePath();
  request.firmwareFolder = app.firmwareFolder.Get();
  request.configurationFolder = app.configurationFolder.Get();
  bool allOk = true;
  for (const Finding& finding : DiagnosePorts(request)) {
    std::cout << FindingLine(finding) << '\n';
    allOk = allOk && finding.ok;
  }
  std::cout.flush();
  return allOk ? kExitOk : kExitFailed;
}

}  // namespace tola::cli
