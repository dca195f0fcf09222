// tola400-sim: a TOLA400 amplifier on a pseudo-terminal, for demonstrations, end-to-end tests and
// anyone without the hardware.

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/PollHost.h"
#include "serial/VirtualPorts.h"
#include "sim/PtyAmplifier.h"
#include "sim/SimClock.h"
#include "sim/SimOptions.h"
#include "sim/Tola400Model.h"
#include "sim/TrafficLog.h"

int main(int argc, char** argv) {
  using namespace tola;
  const std::string program = argc > 0 ? argv[0] : "tola400-sim";
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  SimCommandLine options;
  std::string error;
  if (!ParseSimCommandLine(args, options, error)) {
    std::fprintf(stderr, "%s: %s\nTry \"%s --help\".\n", program.c_str(), error.c_str(), program.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(SimUsage(program).c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("tola400-sim %u.%u.%u.%u\n", unsigned{TOLA_VERSION_MAJOR}, unsigned{TOLA_VERSION_MINOR},
                unsigned{TOLA_VERSION_PATCH}, unsigned{TOLA_VERSION_TWEAK});
    return 0;
  }
  // Bytes are paced to the microsecond; the kernel's default slack of 50 us on every timer wake-up
  // would make each answer late by that much.
  ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

  // The signals that end the simulator arrive through a descriptor the loop watches, so the link
  // is removed on the loop's own thread.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  const int signalFd = signalfd(-1, &stopSignals, SFD_NONBLOCK | SFD_CLOEXEC);
  if (signalFd < 0) {
    std::perror("signalfd");
    return 1;
  }

  PollHost host;
  PollHostClock clock(host);
  if (!clock.Valid()) {
    std::fprintf(stderr, "%s: cannot create a timer\n", program.c_str());
    return 1;
  }
  TrafficLog log;
  if (!options.logPath.empty() && !log.Open(options.logPath)) {
    std::fprintf(stderr, "%s: cannot write the log %s\n", program.c_str(), options.logPath.c_str());
    return 1;
  }

  Tola400Model model(clock, options.model);
  PtyAmplifier pty(host, clock, model);
  pty.SetTrafficLog(&log);
  int status = 0;
  pty.SetUnpluggedHandler([&] {
    std::fprintf(stderr, "%s: the amplifier was unplugged\n", program.c_str());
    status = 3;
    host.Quit();
  });
  if (!pty.Start(VirtualPortFolder(), options.name, error)) {
    std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
    return 1;
  }
  std::printf("%s\n%s\n", pty.Name().c_str(), pty.SlavePath().c_str());
  std::fflush(stdout);
  log.Note("port " + pty.Name() + " -> " + pty.SlavePath() + ", amplifier " +
               AmplifierModeName(model.Mode()) + " at " + std::to_string(model.Speed()) + " bit/s",
           clock.NowMicros());

  host.WatchFd(signalFd, POLLIN, [&](short) {
    signalfd_siginfo info{};
    [[maybe_unused]] const ssize_t n = read(signalFd, &info, sizeof info);
    host.Quit();
  });
  host.Run();

  log.Note("stopped", clock.NowMicros());
  host.UnwatchFd(signalFd);
  close(signalFd);
  pty.Stop();
  return status;
}
