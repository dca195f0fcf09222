#pragma once
// scripts/loopback-ftp.py as a child process on a free port of 127.0.0.1, for the tests of the
// file-server copy and its benchmark. Nothing here needs GoogleTest.

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <netinet/in.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace tola::test {

// Runs `argv` with its output thrown away; its exit status, or -1 when it could not be started.
inline int RunQuietly(const std::vector<std::string>& argv) {
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    const int devNull = ::open("/dev/null", O_RDWR);
    if (devNull >= 0) {
      ::dup2(devNull, 0);
      ::dup2(devNull, 1);
      ::dup2(devNull, 2);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A Python 3 that has pyftpdlib, or "" when this machine has none.
inline std::string PythonWithFtpServer() {
  std::vector<std::string> candidates{"/usr/bin/python3", "/usr/local/bin/python3"};
  if (const char* path = std::getenv("PATH")) {
    for (std::string rest = path; !rest.empty();) {
      const std::size_t colon = rest.find(':');
      candidates.push_back(rest.substr(0, colon) + "/python3");
      rest = colon == std::string::npos ? "" : rest.substr(colon + 1);
    }
  }
  for (const std::string& python : candidates) {
    if (::access(python.c_str(), X_OK) == 0 && RunQuietly({python, "-c", "import pyftpdlib"}) == 0) return python;
  }
  return "";
}

// A port on 127.0.0.1 that nothing listens on (bound, then released).
inline unsigned UnusedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  unsigned port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

class LoopbackFtp {
 public:
  LoopbackFtp() = default;
  ~LoopbackFtp() { Stop(); }
  LoopbackFtp(const LoopbackFtp&) = delete;
  LoopbackFtp& operator=(const LoopbackFtp&) = delete;

  // Serves `root` with the script's misbehaviour options `options`; false when it did not come up
  // within a few seconds. `portFile` is a path the script may write.
  bool Start(const std::string& python, const std::string& script, const std::string& root,
             const std::vector<std::string>& options, const std::string& portFile) {
    Stop();
    ::unlink(portFile.c_str());
    std::vector<std::string> argv{python, script, "--root", root, "--port", "0", "--port-file", portFile};
    argv.insert(argv.end(), options.begin(), options.end());
    m_pid = ::fork();
    if (m_pid < 0) return false;
    if (m_pid == 0) {
      const int devNull = ::open("/dev/null", O_RDWR);
      if (devNull >= 0) {
        ::dup2(devNull, 0);
        ::dup2(devNull, 1);
      }
      std::vector<char*> args;
      for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      ::execv(args[0], args.data());
      ::_exit(127);
    }
    for (int waited = 0; waited < 10000; waited += 20) {
      std::ifstream in(portFile);
      if (in >> m_port && m_port != 0) return true;
      int status = 0;
      if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_pid = -1;
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  void Stop() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
  }

  unsigned Port() const { return m_port; }
  std::string Server() const { return "127.0.0.1:" + std::to_string(m_port); }

 private:
  pid_t m_pid = -1;
  unsigned m_port = 0;
};

}  // namespace tola::test
