// The desktop program's figures: start to the first shown window, the activity log's append rate
// and its worst append near the text limit, a firmware load through the "Sending Firmware" dialog
// against the wire-time bound with the longest stall of the user-interface thread meanwhile, and
// the CPU the idle program takes with the port open and the Port page shown. Each is printed with
// its target and the ratio to it.
//   tola-ui-bench [--quick]

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/Meter.h"
#include "bench/Simulator.h"
#include "platform/Host.h"
#include "platform/HiveFileStore.h"
#include "serial/PosixSerialPort.h"
#include "tests/support/FirmwareHex.h"
#include "ui/MainWindow.h"
#include "ui/QtHost.h"
#include "ui/pages/FirmwarePage.h"
#include "ui/widgets/ActivityLog.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string WriteSettings(const std::string& folder, const std::string& port) {
  const std::string path = folder + "/bench-settings.reg";
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Ostravel\\TOLA Utility]\r\n";
  if (!port.empty()) out << "\"Port\"=\"" << port << "\"\r\n\"ActivePage\"=dword:00000000\r\n";
  return path;
}

// tola-utility on the offscreen platform with its own settings; returns its process id.
pid_t StartProgram(const std::string& settings, bool reportFirstShow, int outputFd) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("TOLA_SETTINGS", settings.c_str(), 1);
    if (reportFirstShow) ::setenv("TOLA_REPORT_FIRST_SHOW", "1", 1);
    if (outputFd >= 0) ::dup2(outputFd, 1);
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) ::dup2(null, 2);
    ::execl(TOLA_UTILITY_PATH, TOLA_UTILITY_PATH, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return pid;
}

// Median of several starts, each reporting its own time from process start to the first shown window.
double FirstShowMs(const std::string& folder, int runs) {
  std::vector<double> samples;
  const std::string settings = WriteSettings(folder, "");
  for (int i = 0; i < runs; ++i) {
    int out[2];
    if (::pipe(out) != 0) return -1;
    const pid_t pid = StartProgram(settings, true, out[1]);
    ::close(out[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    ::waitpid(pid, nullptr, 0);
    std::istringstream line(text);
    std::string key;
    double ms = -1;
    if (line >> key >> ms && key == "first-show-ms") samples.push_back(ms);
  }
  if (samples.empty()) return -1;
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

// CPU time of a process (all its threads) in milliseconds, from the scheduler's nanosecond counts.
double ProcessCpuMs(pid_t pid) {
  double nanoseconds = 0;
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
    std::ifstream stat(task.path() / "schedstat");
    double thread = 0;
    if (stat >> thread) nanoseconds += thread;
  }
  return nanoseconds / 1e6;
}

// The pauses the protocol prescribes around a change of line speed block the thread on purpose;
// they are measured so that the stall figure can leave them out.
class PauseTimingHost : public tola::bench::MeteredHost {
 public:
  using MeteredHost::MeteredHost;
  void Sleep(std::uint32_t ms) override {
    const auto start = Clock::now();
    MeteredHost::Sleep(ms);
    pausedMs += MsSince(start);
  }
  double pausedMs = 0;
};

struct LoadFigures {
  bool ok = false;
  double measuredMs = 0;
  double boundMs = 0;
  double worstStallMs = 0;
};

// The window on the real host and port, on the Firmware page with a firmware file of
// `imageBytes`: "Send Firmware to TOLA400" is pressed and timed until its dialog has closed, while
// a 1 ms timer notes the longest time the thread did not come back to its event loop.
LoadFigures LoadThroughDialog(const std::string& folder, const std::string& port, std::size_t imageBytes) {
  LoadFigures figures;
  const std::string firmware = folder + "/firmware";
  std::filesystem::create_directories(firmware);
  std::ofstream(firmware + "/tola400fw0200.hex") << tola::test::WindowToIntelHex(tola::test::MakeFirmwareWindow(imageBytes, 7));
  const std::string settings = folder + "/load-settings.reg";
  {
    std::ofstream out(settings, std::ios::binary | std::ios::trunc);
    out << "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Ostravel\\TOLA Utility]\r\n"
        << "\"Port\"=\"" << port << "\"\r\n\"ActivePage\"=dword:00000001\r\n\"FirmwareFolder\"=\"" << firmware << "\"\r\n";
  }
  tola::QtHost qtHost;
  tola::bench::Meter meter;
  PauseTimingHost host(qtHost, meter);
  auto metered = std::make_unique<tola::bench::MeteredPort>(std::make_unique<tola::PosixSerialPort>(host), meter);
  tola::MainWindow window(host, std::move(metered), std::make_unique<tola::HiveFileStore>(settings));
  window.show();
  const auto connecting = Clock::now();
  while (window.App().ConnectionState() != tola::kConnectionFirmware && MsSince(connecting) < 15000) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  auto* page = qobject_cast<tola::FirmwarePage*>(window.PageAt(tola::kPageFirmware));
  if (page == nullptr || !page->SendButton().isEnabled() || window.App().ConnectionState() != tola::kConnectionFirmware) {
    return figures;
  }

  QTimer tick;
  tick.setTimerType(Qt::PreciseTimer);
  tick.setInterval(1);
  auto last = Clock::now();
  double pausedBefore = host.pausedMs;
  QObject::connect(&tick, &QTimer::timeout, [&] {
    const double gap = MsSince(last) - (host.pausedMs - pausedBefore);
    figures.worstStallMs = std::max(figures.worstStallMs, gap);
    last = Clock::now();
    pausedBefore = host.pausedMs;
  });
  meter.Reset();
  const auto start = Clock::now();
  last = start;
  tick.start();
  page->SendButton().click();  // returns once the dialog has closed
  tick.stop();
  figures.measuredMs = MsSince(start);
  figures.boundMs = static_cast<double>(meter.BoundMicros()) / 1000.0;
  // The dialog closes by itself only after the revision was verified.
  figures.ok = page->Log().toPlainText().contains(QStringLiteral("firmware load is complete"));
  window.close();
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = argc > 1 && std::string(argv[1]) == "--quick";
  // The amplifier's own answer times set to nothing: what remains of a load is the wire and the
  // program.
  tola::bench::Simulator sim({"--speed", "38400", "--answer-delay", "0", "--revision-after-load", "02.00"});
  if (sim.Port().empty()) {
    std::fprintf(stderr, "tola-ui-bench: the simulator did not start\n");
    return 1;
  }
  char pattern[] = "/tmp/tola-ui-bench-XXXXXX";
  const std::string folder = ::mkdtemp(pattern) != nullptr ? pattern : "/tmp";

  std::printf("%-44s %12s %12s %8s\n", "figure", "measured", "target", "ratio");
  const double startMs = FirstShowMs(folder, quick ? 3 : 7);
  std::printf("%-44s %9.0f ms %9.0f ms %8.3f\n", "start to first shown window (median)", startMs, 300.0,
              startMs / 300.0);

  {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    tola::ActivityLog log;
    log.SetTextLimit(tola::ActivityLog::kFirmwareLogLimit);
    log.resize(640, 400);
    log.show();
    const tola::LocalTime now{2026, 12, 8, 10, 11, 12, 0};
    const std::string text = "Attempting to contact TOLA on port ttySIM0 at 38400 bit/s";
    const int lines = 10000;
    const auto start = Clock::now();
    for (int i = 0; i < lines; ++i) log.AppendStamped(now, text);
    QApplication::processEvents();
    const double rate = lines / (MsSince(start) / 1000.0);
    std::printf("%-44s %9.0f /s %9.0f /s %8.3f\n", "stamped lines appended", rate, 20000.0, 20000.0 / rate);

    // Filled to just below the limit, then the slowest of the appends that reach it.
    while (log.CharacterCount() < tola::ActivityLog::kFirmwareLogLimit - 20000) log.AppendStamped(now, text);
    QApplication::processEvents();  // the fill's own layout and paint are not an append's
    double worst = 0;
    for (int i = 0; i < 400; ++i) {
      const auto one = Clock::now();
      log.AppendStamped(now, text);
      QApplication::processEvents();
      worst = std::max(worst, MsSince(one));
    }
    std::printf("%-44s %9.2f ms %9.0f ms %8.3f\n", "slowest append near the 2,097,152 limit", worst, 16.0,
                worst / 16.0);

    const std::size_t imageBytes = quick ? 16 * 1024 : tola::test::kWindowSize;
    const LoadFigures load = LoadThroughDialog(folder, sim.Port(), imageBytes);
    const double ratio = load.boundMs > 0 ? load.measuredMs / load.boundMs : 0;
    std::printf("%-44s %9.0f ms %9.0f ms %8.3f   (wire-time bound; target ratio 1.030)%s\n",
                quick ? "firmware load (16 KiB) through its dialog" : "firmware load (full) through its dialog",
                load.measuredMs, load.boundMs, ratio, load.ok ? "" : "  (failed)");
    std::printf("%-44s %9.2f ms %9.0f ms %8.3f\n", "longest UI-thread stall during the load", load.worstStallMs,
                20.0, load.worstStallMs / 20.0);
  }

  const pid_t program = StartProgram(WriteSettings(folder, sim.Port()), false, -1);
  std::this_thread::sleep_for(std::chrono::seconds(3));  // opened, identified, settled
  const int idleSeconds = quick ? 3 : 10;
  const double before = ProcessCpuMs(program);
  std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
  const double cpuMs = ProcessCpuMs(program) - before;
  ::kill(program, SIGTERM);
  ::waitpid(program, nullptr, 0);
  const double percent = cpuMs / (idleSeconds * 10.0);
  std::printf("%-44s %10.4f %% %10.1f %% %8.3f   (%.2f ms of CPU in %d s)\n", "idle CPU, port open, Port page shown",
              percent, 0.1, percent / 0.1, cpuMs, idleSeconds);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return 0;
}
