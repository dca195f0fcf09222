#pragma once
// Runs one of the project's programs as a child process with its own environment, and collects
// what it prints. Used by the tests of the simulator and the end-to-end tests of `tola`.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "support/TempFolder.h"

extern char** environ;

namespace tola::test {

class ChildProcess {
 public:
  using Clock = std::chrono::steady_clock;

  // `env` replaces or adds variables of this process's environment.
  ChildProcess(std::vector<std::string> args, const std::map<std::string, std::string>& env = {}) {
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return;
    // Everything the child needs is built before fork.
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) {
      if (const std::string entry(*e); !env.count(entry.substr(0, entry.find('=')))) envText.push_back(entry);
    }
    for (const auto& [name, value] : env) envText.push_back(name + "=" + value);
    const auto pointers = [](std::vector<std::string>& texts) {
      std::vector<char*> p;
      for (auto& t : texts) p.push_back(t.data());
      p.push_back(nullptr);
      return p;
    };
    std::vector<char*> argv = pointers(args), envp = pointers(envText);

    m_pid = ::fork();
    if (m_pid == 0) {
      ::dup2(out[1], 1);
      ::dup2(err[1], 2);
      const int devNull = ::open("/dev/null", O_RDONLY);
      if (devNull >= 0) ::dup2(devNull, 0);
      ::execve(argv[0], argv.data(), envp.data());
      ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    m_out = out[0];
    m_err = err[0];
  }

  ~ChildProcess() {
    if (m_pid > 0) Stop(SIGKILL);
    if (m_out >= 0) ::close(m_out);
    if (m_err >= 0) ::close(m_err);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The next line of standard output, waiting at most `timeoutMs`.
  bool ReadLine(std::string& line, int timeoutMs = 5000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      if (const auto nl = m_stdout.find('\n'); nl != std::string::npos) {
        line = m_stdout.substr(0, nl);
        m_stdout.erase(0, nl + 1);
        return true;
      }
      if (!Pump(deadline, true)) return false;
    }
  }

  // Reads both outputs until the program closes them and ends; returns the exit status (128 +
  // signal for a signal), or -1 when it did not end within `timeoutMs` (it is then killed).
  int Finish(int timeoutMs = 30000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    Drain(timeoutMs);
    return Wait(static_cast<int>(std::max<long long>(
        0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count())));
  }

  // Sends `sig` and returns the exit status, or -1 if the program did not end in time.
  int Stop(int sig = SIGTERM, int timeoutMs = 5000) {
    Signal(sig);
    return Wait(timeoutMs);
  }
  void Signal(int sig) {
    if (m_pid > 0) ::kill(m_pid, sig);
  }

  int Wait(int timeoutMs = 5000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_pid > 0) {
      int status = 0;
      const pid_t r = ::waitpid(m_pid, &status, WNOHANG);
      if (r == m_pid) {
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        m_pid = -1;
        break;
      }
      if (Clock::now() > deadline) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &status, 0);
        m_pid = m_status = -1;
        break;
      }
      ::usleep(5'000);
    }
    return m_status;
  }

  // What was read so far (all of it after Finish).
  const std::string& Stdout() const { return m_stdout; }
  const std::string& Stderr() const { return m_stderr; }
  // Reads what is available until `timeoutMs` passes or the outputs close.
  void Drain(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while ((m_out >= 0 || m_err >= 0) && Pump(deadline, false)) {
    }
  }

 private:
  // One read from whichever output has data; false on the deadline or when nothing is left open.
  bool Pump(Clock::time_point deadline, bool stdoutOnly) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd fds[2] = {{m_out, POLLIN, 0}, {stdoutOnly ? -1 : m_err, POLLIN, 0}};
    if (fds[0].fd < 0 && fds[1].fd < 0) return false;
    if (::poll(fds, 2, static_cast<int>(left)) <= 0) return false;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      int& fd = i == 0 ? m_out : m_err;
      char buffer[4096];
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n <= 0) {
        ::close(fd);
        fd = -1;
        if (stdoutOnly) return false;
        continue;
      }
      (i == 0 ? m_stdout : m_stderr).append(buffer, static_cast<std::size_t>(n));
    }
    return true;
  }

  pid_t m_pid = -1;
  int m_out = -1;
  int m_err = -1;
  int m_status = -1;
  std::string m_stdout;
  std::string m_stderr;
};

// A private runtime folder, so simulators published there are seen only by this test.
class TempRuntimeDir : public TempFolder {
 public:
  std::string PortFolder() const { return path + "/tola400-sim"; }
  const std::string path = Path();
};

}  // namespace tola::test
