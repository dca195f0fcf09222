// The Operate page against the paced simulator at 38,400 bit/s with the default poll interval: the
// share of each cycle the user-interface thread is busy (its own CPU time over the cycle's wall
// time), and the time from an operator's click on "Attenuator" to its set command on the wire,
// each printed with its target and the ratio to it.
//   tola-operate-bench [--quick]

#include <time.h>

#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/Meter.h"
#include "bench/Simulator.h"
#include "platform/HiveFileStore.h"
#include "serial/PosixSerialPort.h"
#include "ui/MainWindow.h"
#include "ui/QtHost.h"
#include "ui/ValueBinding.h"
#include "ui/pages/OperatePage.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU time of the calling thread (the user-interface thread) in milliseconds.
double ThreadCpuMs() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The metered port that also notes when an attenuator set command is written.
class WatchedPort : public tola::bench::MeteredPort {
 public:
  using MeteredPort::MeteredPort;
  bool Write(const char* bytes, std::uint32_t count) override {
    const std::string text(bytes, count);
    if (text.find("^at0;") != std::string::npos || text.find("^at1;") != std::string::npos) {
      if (!setWritten) setAt = Clock::now();
      setWritten = true;
    }
    return MeteredPort::Write(bytes, count);
  }
  bool setWritten = false;
  Clock::time_point setAt;
};

// Waits in the event loop (asleep between events, so the wait itself costs the thread nothing
// worth counting) until `done` holds, looking every 10 ms, or until `limitMs` have passed.
void Spin(const std::function<bool()>& done, double limitMs) {
  if (done()) return;
  const auto start = Clock::now();
  QEventLoop loop;
  QTimer look;
  look.setInterval(10);
  QObject::connect(&look, &QTimer::timeout, [&] {
    if (done() || MsSince(start) >= limitMs) loop.quit();
  });
  look.start();
  loop.exec();
}

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(index, values.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
  const bool quick = argc > 1 && std::string(argv[1]) == "--quick";
  const int cycles = quick ? 20 : 100;
  const int clicks = quick ? 8 : 30;
  tola::bench::Simulator sim({"--speed", "38400"});
  if (sim.Port().empty()) {
    std::fprintf(stderr, "tola-operate-bench: the simulator did not start\n");
    return 1;
  }
  char pattern[] = "/tmp/tola-operate-bench-XXXXXX";
  const std::string folder = ::mkdtemp(pattern) != nullptr ? pattern : "/tmp";
  const std::string settings = folder + "/settings.reg";
  {
    std::ofstream out(settings, std::ios::binary | std::ios::trunc);
    out << "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Ostravel\\TOLA Utility]\r\n"
        << "\"Port\"=\"" << sim.Port() << "\"\r\n\"ActivePage\"=dword:00000002\r\n";
  }

  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  tola::QtHost qtHost;
  tola::bench::Meter meter;
  tola::bench::MeteredHost host(qtHost, meter);
  auto owned = std::make_unique<WatchedPort>(std::make_unique<tola::PosixSerialPort>(host), meter);
  WatchedPort& port = *owned;
  tola::MainWindow window(host, std::move(owned), std::make_unique<tola::HiveFileStore>(settings));
  window.show();
  tola::AppState& app = window.App();
  Spin([&] { return app.ConnectionState() == tola::kConnectionFirmware; }, 15000);
  auto* page = qobject_cast<tola::OperatePage*>(window.PageAt(tola::kPageOperate));
  auto* attenuator = page != nullptr ? page->findChild<QCheckBox*>(QStringLiteral("attenuator")) : nullptr;
  if (app.ConnectionState() != tola::kConnectionFirmware || attenuator == nullptr) {
    std::fprintf(stderr, "tola-operate-bench: the amplifier did not answer on %s\n", sim.Port().c_str());
    return 1;
  }

  // Each cycle's end: the UI thread's CPU time, the wall clock and the bytes on the wire.
  struct Mark {
    double cpuMs;
    Clock::time_point at;
    std::uint64_t bytes;
    tola::ResultCode result;
  };
  std::vector<Mark> marks;
  tola::ValueBinding finished(
      app.dialogueFinished,
      [&](std::uint32_t result) {
        marks.push_back({ThreadCpuMs(), Clock::now(), meter.BytesOut() + meter.BytesIn(), result});
      },
      tola::ValueBinding::Initial::Quiet);
  Spin([&] { return marks.size() >= 2; }, 5000);
  marks.erase(marks.begin(), marks.end() - 1);  // measured from the end of a settled cycle
  Spin([&] { return static_cast<int>(marks.size()) > cycles; }, cycles * 2000.0);
  marks.resize(std::min(marks.size(), static_cast<std::size_t>(cycles) + 1));

  std::vector<double> shares;
  std::vector<double> wireMs;
  int failed = 0;
  for (std::size_t i = 1; i < marks.size(); ++i) {
    const double wall = std::chrono::duration<double, std::milli>(marks[i].at - marks[i - 1].at).count();
    if (wall > 0) shares.push_back((marks[i].cpuMs - marks[i - 1].cpuMs) / wall * 100.0);
    wireMs.push_back(static_cast<double>(marks[i].bytes - marks[i - 1].bytes) * 10.0 * 1000.0 / 38400.0);
    if (marks[i].result != 0) ++failed;
  }
  const int measured = static_cast<int>(marks.size()) - 1;
  const double cycleWireMs = Percentile(wireMs, 0.5);
  double meanShare = 0;
  for (double s : shares) meanShare += s;
  if (!shares.empty()) meanShare /= static_cast<double>(shares.size());
  const double cycleMs = marks.size() > 1 ? std::chrono::duration<double, std::milli>(marks.back().at - marks.front().at)
                                                    .count() / static_cast<double>(marks.size() - 1)
                                          : 0;

  // Clicks at random moments of the cycle, each timed until its set command is written.
  std::mt19937 random(7);
  std::uniform_int_distribution<int> pause(0, static_cast<int>(app.operatePollInterval.Get()));
  std::vector<double> latencies;
  for (int i = 0; i < clicks; ++i) {
    Spin([&] { return false; }, pause(random));
    port.setWritten = false;
    const auto clicked = Clock::now();
    attenuator->click();
    Spin([&] { return port.setWritten; }, 5000);
    if (port.setWritten) latencies.push_back(std::chrono::duration<double, std::milli>(port.setAt - clicked).count());
    // The amplifier's answer settles the box before the next click.
    const char expected = attenuator->isChecked() ? '1' : '0';
    Spin([&] { return app.attenuator.Get() == expected; }, 5000);
  }
  window.close();

  const double target = cycleWireMs + 20.0;
  const double median = Percentile(latencies, 0.5);
  const double worst = Percentile(latencies, 1.0);
  const auto within = std::count_if(latencies.begin(), latencies.end(), [&](double ms) { return ms < target; });
  std::printf("%d cycles at %u ms poll interval, %.1f ms apart on average, %d failed; %zu clicks timed\n",
              measured, app.operatePollInterval.Get(), cycleMs, failed, latencies.size());
  std::printf("%-44s %12s %12s %8s\n", "figure", "measured", "target", "ratio");
  std::printf("%-44s %9.1f ms\n", "one cycle's wire time (median)", cycleWireMs);
  std::printf("%-44s %10.2f %%\n", "UI thread busy per cycle (mean)", meanShare);
  std::printf("%-44s %10.2f %%\n", "UI thread busy per cycle (worst)", Percentile(shares, 1.0));
  std::printf("%-44s %9.1f ms %9.1f ms %8.3f\n", "click to set command on the wire (median)", median, target,
              median / target);
  std::printf("%-44s %9.1f ms %9.1f ms %8.3f\n", "click to set command on the wire (worst)", worst, target,
              worst / target);
  std::printf("%-44s %9ld of %zu\n", "clicks within the target", static_cast<long>(within), latencies.size());
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return 0;
}
