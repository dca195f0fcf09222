#pragma once
// tola400-sim in a private runtime folder for the benchmarks; its first line of output is the port
// name. Stopped when the object goes.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace tola::bench {

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


}  // namespace tola::bench
