// The desktop program's figures: start to the first shown window, the activity log's append rate
// and its worst append near the text limit, and the CPU the idle program takes with the port open
// and the Port page shown. Each is printed with its target and the ratio to it.
//   tola-ui-bench [--quick]

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/Simulator.h"
#include "platform/Host.h"
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

}  // namespace

int main(int argc, char** argv) {
  const bool quick = argc > 1 && std::string(argv[1]) == "--quick";
  tola::bench::Simulator sim({"--speed", "38400"});
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
