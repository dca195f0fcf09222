// The Windows port against the Linux simulator behind a COM port of the Wine prefix the tests run
// in. TOLA400_SIM_PATH names the simulator program (a Linux path).

#include "serial/Win32SerialPort.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "SerialTestSupport.h"
#include "platform/VirtualHost.h"
#include "platform/Win32Text.h"
#include "support/FakeSerialPort.h"

namespace tola {
namespace {

using test::RecordingPortSink;
using test::WaitFor;

// Records the pauses and takes them: the simulator hears a speed command at the speed the port has
// when the command's bytes reach it.
class PauseRecordingHost : public VirtualHost {
 public:
  void Sleep(std::uint32_t ms) override {
    pauses.push_back(ms);
    ::Sleep(ms);
  }
  std::vector<std::uint32_t> pauses;
};

// Wine's own name for a Linux path, empty when not running under Wine.
std::wstring DosPath(const std::string& unixPath) {
  using ToDos = WCHAR*(CDECL*)(LPCSTR);
  const auto toDos = reinterpret_cast<ToDos>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_dos_file_name")));
  if (toDos == nullptr) return {};
  WCHAR* dos = toDos(unixPath.c_str());
  if (dos == nullptr) return {};
  std::wstring path = dos;
  ::HeapFree(::GetProcessHeap(), 0, dos);
  return path;
}

// Wine starts a Linux program but hands back neither its process nor its standard handles, so
// a shell script does the work and leaves its results in files of a folder both sides see.
bool RunShellScript(const std::string& script) {
  const std::wstring shell = DosPath("/bin/sh");
  std::wstring command = L"/bin/sh " + Wide(script);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (shell.empty() || !::CreateProcessW(shell.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                         nullptr, &startup, &process)) {
    return false;
  }
  if (process.hProcess != nullptr) ::CloseHandle(process.hProcess);
  if (process.hThread != nullptr) ::CloseHandle(process.hThread);
  return true;
}

// The lines of a text file, each ended by a space; empty when there is no such file.
std::string ReadLines(const std::wstring& path) {
  std::ifstream in(path.c_str());
  std::string text;
  for (std::string line; std::getline(in, line);) text += line + " ";
  return text;
}

// A simulator on a pseudo-terminal, made COM<n+10> of the prefix for /dev/pts/<n> (the mapping of
// scripts/wine-tola.sh). It is stopped by the destructor or by Stop, which closes its terminal the
// way an unplugged adapter vanishes; `timeout` ends it should this program die first.
class WineSimulator {
 public:
  explicit WineSimulator(const std::string& options = "") {
    const char* program = std::getenv("TOLA400_SIM_PATH");
    if (program == nullptr || program[0] == '\0') {
      m_error = "TOLA400_SIM_PATH must name the Linux tola400-sim program";
      return;
    }
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    m_folder = "/tmp/tola-wine-serial-" + std::to_string(::GetCurrentProcessId()) + "-" +
               std::to_string(now.QuadPart);
    m_dosFolder = DosPath(m_folder);
    if (m_dosFolder.empty() || !::CreateDirectoryW(m_dosFolder.c_str(), nullptr)) {
      m_error = "cannot make " + m_folder + " (not running under Wine?)";
      return;
    }
    const std::string start = m_folder + "/start.sh";
    std::ofstream(DosPath(start).c_str(), std::ios::binary)
        << "cd '" << m_folder << "' || exit 1\n"
        << ": >out\n"
        << "XDG_RUNTIME_DIR=\"$PWD\" timeout 300 '" << program << "' " << options << " >out 2>err &\n"
        << "echo $! >pid\n"
        << "for i in $(seq 200); do [ \"$(wc -l <out)\" -ge 2 ] && break; sleep 0.05; done\n"
        << "pty=$(sed -n 2p out); n=${pty#/dev/pts/}\n"
        << "case $n in ''|*[!0-9]*) echo no-terminal >failed; exit 1;; esac\n"
        << "link=\"${WINEPREFIX:-$HOME/.wine}/dosdevices/com$((n + 10))\"\n"
        << "ln -sfn \"$pty\" \"$link\" && echo \"$link\" >link\n"
        << "echo COM$((n + 10)) >com.new && mv com.new com\n";
    std::ofstream(DosPath(m_folder + "/stop.sh").c_str(), std::ios::binary)
        << "cd '" << m_folder << "' || exit 1\n"
        << "kill $(cat pid) 2>/dev/null; [ -s link ] && rm -f \"$(cat link)\"; rm -rf '" << m_folder << "'\n";
    if (!RunShellScript(start)) {
      m_error = "Wine did not start /bin/sh";
      return;
    }
    const std::wstring com = m_dosFolder + L"\\com";
    const std::wstring failed = m_dosFolder + L"\\failed";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (m_com.empty() && std::chrono::steady_clock::now() < deadline &&
           ::GetFileAttributesW(failed.c_str()) == INVALID_FILE_ATTRIBUTES) {
      ::Sleep(20);
      m_com = ReadLines(com);
      if (!m_com.empty()) m_com.pop_back();
    }
    if (m_com.empty()) m_error = "the simulator did not start: " + ReadLines(m_dosFolder + L"\\err");
  }
  ~WineSimulator() { Stop(); }
  WineSimulator(const WineSimulator&) = delete;
  WineSimulator& operator=(const WineSimulator&) = delete;

  // Empty when the simulator runs; otherwise why not.
  const std::string& Error() const { return m_error; }
  const std::string& Com() const { return m_com; }

  void Stop() {
    if (m_dosFolder.empty() || m_stopped) return;
    m_stopped = true;
    RunShellScript(m_folder + "/stop.sh");
  }

 private:
  std::string m_folder;
  std::wstring m_dosFolder;
  std::string m_com;
  std::string m_error;
  bool m_stopped = false;
};

class Win32SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override { port.SetSink(&sink); }

  // Starts a simulator; a test that cannot have one fails.
  std::string StartSimulator(const std::string& options = "") {
    sim = std::make_unique<WineSimulator>(options);
    EXPECT_EQ(sim->Error(), "");
    return sim->Com();
  }

  // Sends `command` and collects `length` bytes of answer, reading only after serial events and in
  // reads of at most `piece` bytes, as the handlers of the program do.
  std::string Exchange(const std::string& command, std::size_t length, std::uint32_t piece = 64) {
    std::size_t seen = sink.Events().size();
    EXPECT_TRUE(port.Write(command.data(), static_cast<std::uint32_t>(command.size())));
    std::string got;
    WaitFor([&] {
      const std::size_t events = sink.Events().size();
      if (events == seen) return false;
      seen = events;
      std::vector<char> buffer(piece);
      std::uint32_t n = 0;
      while (port.Read(buffer.data(), piece, n) && n > 0) got.append(buffer.data(), n);
      return got.size() >= length;
    });
    return got;
  }

  RecordingPortSink sink;
  PauseRecordingHost host;
  Win32SerialPort port{host};
  std::unique_ptr<WineSimulator> sim;
};

TEST_F(Win32SerialPortTest, OpenFailuresAreLeftToTheCallerAndLeaveAClosedPortThatFailsSilently) {
  const std::pair<const char*, ResultCode> cases[] = {{"", kPortNameMissing}, {"COM219", kErrorFileNotFound}};
  for (const auto& [name, code] : cases) {
    SCOPED_TRACE(name);
    SetLastError(0);
    EXPECT_FALSE(port.Open(name));
    EXPECT_EQ(GetLastError(), code);
    EXPECT_FALSE(port.IsOpen());
  }
  char buffer[4];
  std::uint32_t n = 0;
  const std::pair<const char*, std::function<bool()>> calls[] = {
      {"read", [&] { return port.Read(buffer, sizeof buffer, n); }},
      {"write", [&] { return port.Write("x", 1); }},
      {"purge", [&] { return port.Purge(); }},
      {"errors", [&] { return port.ClearCommError(n); }},
  };
  for (const auto& [name, call] : calls) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(call());
    EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
  }
  EXPECT_TRUE(sink.Failures().empty());
  EXPECT_TRUE(host.pauses.empty());
}

TEST_F(Win32SerialPortTest, AHeldPortIsRefusedAsAccessDeniedWithoutReport) {
  const std::string com = StartSimulator();
  ASSERT_TRUE(port.Open(com));
  EXPECT_TRUE(port.Open("COM219")) << "an open port opens nothing else";
  EXPECT_EQ(port.PortName(), com);

  RecordingPortSink secondSink;
  Win32SerialPort second(host);
  second.SetSink(&secondSink);
  SetLastError(0);
  EXPECT_FALSE(second.Open(com));
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  EXPECT_FALSE(second.IsOpen());
  EXPECT_TRUE(secondSink.Failures().empty());
  // The refusal left the holder's port working.
  EXPECT_EQ(Exchange("^RV;", 9), "^RV01.23;");

  port.Close();
  EXPECT_TRUE(second.Open(com));
  EXPECT_TRUE(sink.Failures().empty());
}

TEST_F(Win32SerialPortTest, SpeedChangesReachTheLineWithTheirPauses) {
  ASSERT_TRUE(port.Open(StartSimulator("--serial 4321")));
  EXPECT_EQ(port.Speed(), 38400u);
  EXPECT_EQ(host.pauses, std::vector<std::uint32_t>{50});
  EXPECT_EQ(port.SetLineSpeed(57600), kEInvalidArg);
  EXPECT_EQ(port.SetLineSpeed(38400), 1u);
  EXPECT_EQ(host.pauses.size(), 1u);

  // The amplifier moves to each speed first; it answers only once the port has followed.
  const std::pair<const char*, std::uint32_t> speeds[] = {{"^brp1;", 9600}, {"^brp0;", 4800}, {"^brp3;", 38400}};
  for (const auto& [command, speed] : speeds) {
    SCOPED_TRACE(speed);
    ASSERT_TRUE(port.Write(command, 6));
    host.pauses.clear();
    EXPECT_EQ(port.SetLineSpeed(speed), 1u);
    EXPECT_EQ(port.Speed(), speed);
    EXPECT_EQ(host.pauses, (std::vector<std::uint32_t>{50, 50}));
    EXPECT_EQ(Exchange("^sn;", 8), "^SN4321;");
  }
  EXPECT_TRUE(sink.Failures().empty());
}

TEST_F(Win32SerialPortTest, ALongAnswerIsReadInPiecesAfterEventsAndPurgeDropsWhatWasNotRead) {
  ASSERT_TRUE(port.Open(StartSimulator("--serial 4321")));
  const std::string commands = "^RV;^sn;^I;^ID;^RV;^sn;^I;^ID;";
  const std::string answers = "^RV01.23;^SN4321;^ITOLA400;^IDTOLA400;^RV01.23;^SN4321;^ITOLA400;^IDTOLA400;";
  EXPECT_EQ(Exchange(commands, answers.size(), 4), answers);
  for (std::uint32_t wParam : sink.Events()) EXPECT_EQ(wParam & 0xFFFFu, CSerialPort::kEventRxChar);

  // Whatever event is still on its way finds nothing left.
  char buffer[16];
  std::uint32_t n = 99;
  EXPECT_TRUE(port.Read(buffer, sizeof buffer, n));
  EXPECT_EQ(n, 0u);

  const std::size_t before = sink.Events().size();
  ASSERT_TRUE(port.Write("^RV;", 4));
  ASSERT_TRUE(sink.WaitForEvents(before + 1));
  ::Sleep(100);  // the rest of the answer: 9 bytes take 2.3 ms on the line
  EXPECT_TRUE(port.Purge());
  EXPECT_TRUE(port.Read(buffer, sizeof buffer, n));
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(Exchange("^sn;", 8), "^SN4321;");
  EXPECT_TRUE(sink.Failures().empty());
}

TEST_F(Win32SerialPortTest, CloseWhileTheReaderWaitsReturnsAndTwiceIsHarmless) {
  const std::string com = StartSimulator();
  ASSERT_TRUE(port.Open(com));
  EXPECT_TRUE(port.ReaderRunning());
  // The bound only catches a Close that hangs.
  auto closed = std::async(std::launch::async, [&] { return port.Close(); });
  ASSERT_EQ(closed.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_TRUE(closed.get());
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(port.ReaderRunning());
  EXPECT_TRUE(port.Close());

  // A fresh reader posts again.
  ASSERT_TRUE(port.Open(com));
  EXPECT_EQ(Exchange("^RV;", 9), "^RV01.23;");
  EXPECT_TRUE(sink.Failures().empty());
}

TEST_F(Win32SerialPortTest, ThePortVanishingIsToldOnceAndLaterCallsFailSilently) {
  ASSERT_TRUE(port.Open(StartSimulator()));
  ASSERT_EQ(Exchange("^RV;", 9), "^RV01.23;");
  sim->Stop();
  ASSERT_TRUE(WaitFor([&] { return !port.ReaderRunning(); }));
  EXPECT_TRUE(port.DeviceGone());
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(sink.gone.load(), 1);

  char buffer[4];
  std::uint32_t n = 7;
  const std::pair<const char*, std::function<bool()>> calls[] = {
      {"write", [&] { return port.Write("^RV;", 4); }},
      {"read", [&] { return port.Read(buffer, sizeof buffer, n) || n != 0; }},
      {"purge", [&] { return port.Purge(); }},
      {"speed", [&] { return port.SetLineSpeed(4800) != 0; }},
  };
  for (const auto& [name, call] : calls) {
    SCOPED_TRACE(name);
    SetLastError(kErrorSuccess);
    EXPECT_FALSE(call());
    EXPECT_EQ(GetLastError(), kErrorDeviceNotConnected);
  }
  EXPECT_EQ(sink.gone.load(), 1);
  EXPECT_TRUE(sink.Failures().empty());
  EXPECT_TRUE(port.Close());
  EXPECT_FALSE(port.DeviceGone());
}

}  // namespace
}  // namespace tola
