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
#include "dialogue/ConnectionMachine.h"
#include "dialogue/Routing.h"
#include "platform/PollHost.h"
#include "serial/PosixSerialPort.h"

namespace tola::bench {
namespace {

using Clock = std::chrono::steady_clock;

// The simulator in a private runtime folder; its first line of output is the port name.
class Simulator {
 public:
  explicit Simulator(const std::vector<std::string>& args) {
    char pattern[] = "/tmp/tola-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return;
    m_folder = pattern;
    ::setenv("XDG_RUNTIME_DIR", m_folder.c_str(), 1);
    int out[2];
    if (::pipe(out) != 0) return;
    std::vector<std::string> argvText{TOLA400_SIM_PATH};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);
    m_pid = ::fork();
    if (m_pid == 0) {
      ::dup2(out[1], 1);
      ::close(out[0]);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    std::string line;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') line.push_back(c);
    m_port = line;
    m_out = out[0];
  }
  ~Simulator() {
    if (m_pid > 0) {
      ::kill(m_pid, SIGTERM);
      ::waitpid(m_pid, nullptr, 0);
    }
    if (m_out >= 0) ::close(m_out);
    std::error_code ignored;
    if (!m_folder.empty()) std::filesystem::remove_all(m_folder, ignored);
  }
  const std::string& Port() const { return m_port; }

 private:
  pid_t m_pid = -1;
  int m_out = -1;
  std::string m_folder;
  std::string m_port;
};

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
