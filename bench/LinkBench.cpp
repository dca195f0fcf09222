// How close each operation comes to the wire-time bound over a real pseudo-terminal against
// tola400-sim pacing every byte at 38,400 bit/s, and what an open, idle port costs in CPU time.
//   tola-bench [--quick]
// Prints one row per operation: bytes each way, measured time, the bound and their ratio.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "bench/BenchOperations.h"
#include "bench/Link.h"
#include "bench/Meter.h"
#include "bench/Simulator.h"
#include "dialogue/ConnectionMachine.h"
#include "dialogue/Routing.h"
#include "platform/PollHost.h"
#include "serial/PosixSerialPort.h"

namespace tola::bench {
namespace {

using Clock = std::chrono::steady_clock;

struct Row {
  std::string name;
  bool ok = false;
  std::uint64_t out = 0, in = 0, answered = 0;
  double measuredMs = 0, boundMs = 0;
};

// Runs one operation from a fresh meter and returns its row.
Row Measure(Link& link, const std::string& name, const std::function<bool(Link&)>& operation) {
  Row row;
  row.name = name;
  link.Metering().Reset();
  const auto start = Clock::now();
  row.ok = operation(link);
  row.measuredMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  row.boundMs = static_cast<double>(link.Metering().BoundMicros()) / 1000.0;
  row.out = link.Metering().BytesOut();
  row.in = link.Metering().BytesIn();
  row.answered = link.Metering().Answered();
  return row;
}

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool RunPortTest(Link& wire) {
  wire.Connection().StartTest();
  wire.Loop().RunUntil([&] { return wire.Connection().IsIdle(); }, 60000);
  return wire.App().ConnectionState() == kConnectionFirmware;
}

}  // namespace

}  // namespace tola::bench

int main(int argc, char** argv) {
  using namespace tola::bench;
  const bool quick = argc > 1 && std::string(argv[1]) == "--quick";
  // The amplifier's own times (answer delay, EEPROM writes) set to nothing: what remains is the
  // wire and the program.
  Simulator sim({"--speed", "38400", "--answer-delay", "0", "--eeprom-write", "0", "--revision-after-load", "02.00"});
  if (sim.Port().empty()) {
    std::fprintf(stderr, "tola-bench: the simulator did not start\n");
    return 1;
  }
  Link wire(sim.Port());
  std::vector<Row> rows;
  rows.push_back(Measure(wire, "port test", RunPortTest));
  for (const auto& op : Operations(quick)) rows.push_back(Measure(wire, op.name, op.run));

  std::printf("%-24s %10s %10s %12s %12s %7s %12s\n", "operation", "bytes out", "bytes in", "measured ms", "bound ms",
              "ratio", "us/exchange");
  bool allWithin = true;
  for (const Row& r : rows) {
    const double ratio = r.boundMs > 0 ? r.measuredMs / r.boundMs : 0;
    // What each answered exchange cost beyond the wire: the turnaround of the two processes.
    const double perExchangeUs = r.answered ? (r.measuredMs - r.boundMs) * 1000.0 / static_cast<double>(r.answered) : 0;
    std::printf("%-24s %10llu %10llu %12.1f %12.1f %7.3f %12.0f%s\n", r.name.c_str(),
                static_cast<unsigned long long>(r.out), static_cast<unsigned long long>(r.in), r.measuredMs,
                r.boundMs, ratio, perExchangeUs, r.ok ? "" : "  (failed)");
    allWithin = allWithin && r.ok && ratio <= 1.03;
  }

  // An open port with nothing to do must cost next to nothing.
  const std::uint32_t idleMs = quick ? 2000 : 10000;
  const double before = CpuSeconds();
  wire.Loop().Run(idleMs);
  const double cpuMs = (CpuSeconds() - before) * 1000.0;
  std::printf("idle with the port open: %.1f ms CPU in %u ms (%.3f%%)\n", cpuMs, idleMs, cpuMs / idleMs * 100.0);
  std::printf(allWithin ? "every ratio is at most 1.03\n" : "some ratio is above 1.03 or an operation failed\n");
  return 0;
}
