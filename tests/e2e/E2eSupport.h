#pragma once
// End-to-end runs: `tola400-sim` on a pseudo-terminal in a private runtime folder, and `tola` run
// against it as an operator would, with private settings and data folders.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "app/Format.h"
#include "formats/Crc32.h"
#include "support/ChildProcess.h"

namespace tola::test {

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

inline bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t nl = std::min(text.find('\n', at), text.size());
    lines.push_back(text.substr(at, nl - at));
    at = nl + 1;
  }
  return lines;
}

// A configuration file of amplifier `serial` holding `memory` lines, with its CRC line.
inline std::string ConfigurationFile(unsigned serial, const std::vector<std::string>& memory = {}) {
  std::vector<std::string> lines{"*TOLA Configuration saved on 2026-01-01 at 12:00:00",
                                 FormatText("TOLA Serial Number = %05u", serial)};
  lines.insert(lines.end(), memory.begin(), memory.end());
  std::uint32_t crc = 0;
  std::string text;
  for (const std::string& line : lines) {
    crc = Crc32Update(crc, line);
    text += line + "\r\n";
  }
  return text + FormatText("CRC32 = 0x%08X", ~crc) + "\r\n";
}

// Reads the program's output until its standard error holds `text`; false after `timeoutMs`.
inline bool WaitForStderr(ChildProcess& child, const std::string& text, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 50) {
    if (child.Stderr().find(text) != std::string::npos) return true;
    child.Drain(50);
  }
  return child.Stderr().find(text) != std::string::npos;
}

class EndToEnd : public ::testing::Test {
 protected:
  // After a failure, says whether each simulator was still running: a command that reported its
  // port gone is right only if the simulator had ended, and later commands of a test may never
  // touch the port again to show it.
  void TearDown() override {
    if (!HasFailure()) return;
    for (std::size_t i = 0; i < m_simulators.size(); ++i) {
      ChildProcess& sim = *m_simulators[i];
      sim.Drain(100);
      const int status = sim.Wait(0);  // one still running is stopped here and reads as -1
      std::cerr << "Simulator " << i << (status == -1 ? " was still running" : " had ended with status " +
                                                                               std::to_string(status))
                << "; its standard error: \"" << sim.Stderr() << "\"\n";
    }
  }

  // Starts a simulator with `args` and returns its published port name ("" on failure).
  std::string StartSimulator(const std::vector<std::string>& args) {
    std::vector<std::string> argv{TOLA400_SIM_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    m_simulators.push_back(std::make_unique<ChildProcess>(argv, Environment()));
    std::string name, slave;
    if (!m_simulators.back()->ReadLine(name) || !m_simulators.back()->ReadLine(slave)) return "";
    m_terminals[name] = slave;
    return name;
  }

  // The Windows build (TOLA_E2E_WINDOWS=1, run through scripts/wine-tola.sh) knows a simulator's
  // port as the COM port the wrapper made of it, joins paths with "\", and keeps its data under
  // the Wine prefix's application-data folder. These say what the program under test prints.
  static bool ProgramIsWindows() {
    const char* windows = std::getenv("TOLA_E2E_WINDOWS");
    return windows != nullptr && std::string(windows) == "1";
  }
  std::string ShownPort(const std::string& port) const {
    const auto found = m_terminals.find(port);
    const std::string pts = "/dev/pts/";
    if (!ProgramIsWindows() || found == m_terminals.end() || found->second.rfind(pts, 0) != 0) return port;
    return "COM" + std::to_string(std::stoi(found->second.substr(pts.size())) + 10);
  }
  template <typename... Names>
  static std::string ShownPath(std::string path, const Names&... names) {
    ((path += (ProgramIsWindows() ? "\\" : "/") + std::string(names)), ...);
    return path;
  }
  // Where the program keeps its default folders, as this test reads them and as the program names
  // them.
  std::string DataFolder() const { return ProgramIsWindows() ? WindowsSetting("TOLA_E2E_APPDATA") : Folder() + "/data"; }
  std::string ShownDataFolder() const {
    return ProgramIsWindows() ? WindowsSetting("TOLA_E2E_APPDATA_SHOWN") : Folder() + "/data";
  }
  static std::string WindowsSetting(const char* name) {
    const char* value = std::getenv(name);
    EXPECT_NE(value, nullptr) << name << " is not set for the Windows run";
    return value != nullptr ? value : "";
  }

  // TOLA_E2E_PROGRAM runs the same tests through another `tola`, such as the Windows build under
  // Wine (scripts/wine-tola.sh).
  static std::string TolaProgram() {
    const char* other = std::getenv("TOLA_E2E_PROGRAM");
    return other != nullptr && other[0] != '\0' ? other : TOLA_PATH;
  }

  std::vector<std::string> TolaArgv(const std::vector<std::string>& args) const {
    std::vector<std::string> argv{TolaProgram(), "--settings", m_runtime.path + "/settings.reg"};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
  }

  // Runs `tola` to its end.
  RunResult Tola(const std::vector<std::string>& args, int timeoutMs = 60000) {
    ChildProcess tola(TolaArgv(args), Environment());
    const int status = tola.Finish(timeoutMs);
    return {status, tola.Stdout(), tola.Stderr()};
  }

  // Starts `tola` and leaves it running.
  std::unique_ptr<ChildProcess> StartTola(const std::vector<std::string>& args) {
    return std::make_unique<ChildProcess>(TolaArgv(args), Environment());
  }

  std::map<std::string, std::string> Environment() const {
    return {{"XDG_RUNTIME_DIR", m_runtime.path},
            {"XDG_DATA_HOME", m_runtime.path + "/data"},
            {"XDG_CONFIG_HOME", m_runtime.path + "/config"},
            {"TOLA_SETTINGS", m_runtime.path + "/settings.reg"}};
  }

  const std::string& Folder() const { return m_runtime.path; }

  TempRuntimeDir m_runtime;
  std::vector<std::unique_ptr<ChildProcess>> m_simulators;
  std::map<std::string, std::string> m_terminals;  // port name -> its pseudo-terminal
};

}  // namespace tola::test
