#include "cli/PortCommands.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "dialogue/CommandProtocol.h"
#include "dialogue/ConnectionMachine.h"
#include "cli/PortLoss.h"
#include "serial/PortDiscovery.h"

namespace tola::cli {

namespace {

const char* ConnectionStateText(std::uint32_t state) {
  switch (state) {
    case kConnectionLoader: return "TOLA400 bootstrap loader answering";
    case kConnectionFirmware: return "TOLA400 firmware running";
    default: return "nothing identified";
  }
}

const char* DeviceText(std::uint32_t type) {
  switch (type) {
    case kDeviceTola400: return "TOLA400";
    case 2: return "QZ8";
    case 3: return "TOLB900";
    case 4: return "TUNR600";
    default: return "none";
  }
}

struct TestOutcome {
  bool finished = false;
  ResultCode result = 0;
};

TestOutcome RunPortTest(Console& console, std::uint32_t timeoutSeconds) {
  AppState& app = console.App();
  ConnectionMachine& machine = InstallConnectionMachine(app);
  machine.SetTraceHook(console.TraceHook());
  console.SetInterruptHandler([&machine] { machine.Cancel(); });
  machine.StartTest();
  TestOutcome outcome;
  outcome.finished = console.RunUntil([&machine] { return machine.IsIdle(); }, timeoutSeconds * 1000);
  if (!outcome.finished && app.portOpen.Get() != 0 && !app.PortLost() && !console.Interrupted()) {
    // Silent at every speed: perhaps a loader that a cut-short load left mid-download, which only
    // fill polls get an answer from.
    machine.StartFindingDownload();
    console.RunUntil([&machine] { return machine.IsIdle(); }, 0);
    if (app.downloadWaiting.Get() != 0) {
      outcome.finished = true;
      console.Error("The TOLA400 bootstrap loader is waiting in the middle of a firmware download (a load was cut "
                    "short): load-firmware sends the firmware again.");
    }
  }
  outcome.result = machine.Result();
  console.SetInterruptHandler(nullptr);
  return outcome;
}

int StatusOf(Console& console, const TestOutcome& outcome, bool acceptLoader) {
  AppState& app = console.App();
  if (outcome.result == kErrorCancelled || console.Interrupted()) return kExitCancelled;
  if (outcome.result == kPortNameMissing) return kExitUsage;
  if (app.portOpen.Get() == 0 || app.PortLost()) return kExitPortUnavailable;
  if (!outcome.finished) return kExitNoAnswer;
  const std::uint32_t type = app.deviceType.Get();
  if (type != kDeviceNone && type != kDeviceTola400) return kExitOtherDevice;
  switch (app.ConnectionState()) {
    case kConnectionFirmware: return kExitOk;
    case kConnectionLoader: return acceptLoader ? kExitOk : kExitLoader;
    default: return outcome.result == 0 ? kExitNoAnswer : kExitFailed;
  }
}

// One line on standard error for a port test that did not reach what was wanted.
void ReportFailure(Console& console, const TestOutcome& outcome, int status, std::uint32_t timeoutSeconds) {
  AppState& app = console.App();
  switch (status) {
    case kExitPortUnavailable:
      // The port's own log line says why; --quiet must not hide it.
      console.ErrorFromLog();
      break;
    case kExitNoAnswer:
      console.Error(FormatText("No answer from the TOLA400 on %s within %u s.", app.port.Get(), timeoutSeconds));
      break;
    case kExitLoader:
      console.Error("The TOLA400 answers from its bootstrap loader: load firmware first.");
      break;
    case kExitOtherDevice:
      console.Error(FormatText("A device other than the TOLA400 answered on %s.", app.port.Get()));
      break;
    case kExitFailed:
      console.Error("Port test failed: " + DescribeCode(outcome.result));
      break;
    default:
      break;
  }
}

}  // namespace

int RunPorts(const GlobalOptions& /*options*/) {
  const auto ports = DescribeSerialPorts();
  if (ports.empty()) {
    std::cout << "No serial ports found." << std::endl;
    return kExitOk;
  }
  struct Row {
    std::string name, driver, usb, device;
  };
  std::vector<Row> rows{{"PORT", "DRIVER", "USB ID", "DEVICE"}};
  for (const PortInfo& p : ports) {
    std::string device = p.manufacturer;
    if (!p.product.empty()) device += (device.empty() ? "" : " ") + p.product;
    if (device.empty()) device = p.devicePath.empty() ? "-" : p.devicePath;
    rows.push_back({p.name, p.driver.empty() ? "-" : p.driver,
                    p.usbVendor.empty() ? "-" : p.usbVendor + ":" + p.usbProduct, device});
  }
  // Columns as wide as their longest entry: Windows' driver names ("\Device\Serial0") are longer
  // than Linux's.
  std::size_t name = 12, driver = 14, usb = 9;
  for (const Row& r : rows) {
    name = std::max(name, r.name.size());
    driver = std::max(driver, r.driver.size());
    usb = std::max(usb, r.usb.size());
  }
  for (const Row& r : rows) {
    std::printf("%-*s %-*s %-*s %s\n", static_cast<int>(name), r.name.c_str(), static_cast<int>(driver),
                r.driver.c_str(), static_cast<int>(usb), r.usb.c_str(), r.device.c_str());
  }
  return kExitOk;
}

int ConnectFirst(Console& console, std::uint32_t timeoutSeconds, bool acceptLoader) {
  AppState& app = console.App();
  if (app.port.Get().empty()) {
    console.Error("No serial port chosen: give --port NAME (`tola ports` lists them).");
    return kExitUsage;
  }
  const TestOutcome outcome = RunPortTest(console, timeoutSeconds);
  const int status = StatusOf(console, outcome, acceptLoader);
  if (ReportPortWentAway(console)) return status;
  ReportFailure(console, outcome, status, timeoutSeconds);
  return status;
}

int RunTest(Console& console, std::uint32_t timeoutSeconds) {
  AppState& app = console.App();
  if (app.port.Get().empty()) {
    console.Error("No serial port chosen: give --port NAME (`tola ports` lists them).");
    return kExitUsage;
  }
  const TestOutcome outcome = RunPortTest(console, timeoutSeconds);
  const int status = StatusOf(console, outcome, false);
  const bool open = app.portOpen.Get() != 0;
  std::printf("Port:              %s\n", app.port.Get().c_str());
  if (open) std::printf("Speed:             %u bit/s\n", app.SerialPort().Speed());
  std::printf("Connection state:  %u (%s)\n", app.ConnectionState(), ConnectionStateText(app.ConnectionState()));
  std::printf("Device:            %s\n", DeviceText(app.deviceType.Get()));
  if (app.ConnectionState() == kConnectionFirmware) {
    std::printf("Revision:          %s\n", RevisionText(app.installedRevision.Get()).c_str());
    if (app.serialNumber.Get() != kSerialNumberUnknown) {
      std::printf("Serial number:     %05u\n", static_cast<unsigned>(app.serialNumber.Get()));
    }
  }
  if (!outcome.finished && status == kExitNoAnswer) {
    std::printf("Outcome:           no answer within %u s\n", timeoutSeconds);
  } else if (outcome.result != 0) {
    std::printf("Outcome:           %s\n", DescribeCode(outcome.result).c_str());
  } else {
    std::printf("Outcome:           %s\n", status == kExitOk ? "OK" : "not the TOLA400 firmware");
  }
  std::fflush(stdout);
  ReportFailure(console, outcome, status, timeoutSeconds);
  return status;
}

int RunSend(Console& console, const std::string& text, std::uint32_t quietMs, std::uint32_t timeoutSeconds) {
  const int status = ConnectFirst(console, timeoutSeconds, true);
  if (status != kExitOk) return status;
  AppState& app = console.App();
  std::string pending;
  bool answered = false;
  std::uint32_t lastArrival = console.Host().TickCount();
  auto flush = [&pending] {
    if (!pending.empty()) std::cout << PrintableForm(pending) << std::endl;
    pending.clear();
  };
  console.SetPageHandler([&] {
    char buffer[256];
    std::uint32_t got = 0;
    while (app.SerialPort().Read(buffer, sizeof buffer, got) && got > 0) {
      lastArrival = console.Host().TickCount();
      answered = true;
      for (std::uint32_t i = 0; i < got; ++i) {
        pending.push_back(buffer[i]);
        if (buffer[i] == ';') flush();
      }
    }
  });
  if (!app.SendCommandText(text)) {
    console.Error("Could not send the text.");
    return kExitFailed;
  }
  lastArrival = console.Host().TickCount();
  // A tick wakes the loop so that quiet is noticed; no machine runs, so nobody else takes it.
  constexpr unsigned kQuietTick = 99;
  console.Host().SetTimer(kQuietTick, 20);
  console.RunUntil([&] { return console.Interrupted() || console.Host().TickCount() - lastArrival >= quietMs; }, 0);
  console.Host().KillTimer(kQuietTick);
  flush();
  console.SetPageHandler(nullptr);
  if (console.Interrupted()) return kExitCancelled;
  if (!answered) {
    console.Error(FormatText("Nothing answered within %u ms.", quietMs));
    return kExitNoAnswer;
  }
  return kExitOk;
}

}  // namespace tola::cli
