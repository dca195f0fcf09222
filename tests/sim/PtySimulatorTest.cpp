// The simulator program itself, on a pseudo-terminal, talked to with plain termios as any program
// opening a serial device would.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "support/ChildProcess.h"

namespace tola::test {
namespace {

using Clock = std::chrono::steady_clock;

// The simulator program with its runtime folder.
class SimProcess : public ChildProcess {
 public:
  SimProcess(const std::string& runtimeDir, const std::vector<std::string>& args)
      : ChildProcess(Argv(args), {{"XDG_RUNTIME_DIR", runtimeDir}}) {}

  // The two lines the program starts with: the port's name and the terminal behind it.
  bool Publish(std::string& name, std::string& slave) { return ReadLine(name) && ReadLine(slave); }

 private:
  static std::vector<std::string> Argv(const std::vector<std::string>& args) {
    std::vector<std::string> argv{TOLA400_SIM_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
  }
};

// A serial port opened the plain way: raw 8N1, no flow control.
class PlainPort {
 public:
  explicit PlainPort(const std::string& path) : m_fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
  ~PlainPort() { if (m_fd >= 0) ::close(m_fd); }
  bool IsOpen() const { return m_fd >= 0; }

  bool SetSpeed(std::uint32_t speed) {
    termios t{};
    if (::tcgetattr(m_fd, &t) != 0) return false;
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | HUPCL);
    const speed_t constant = speed == 4800 ? B4800 : speed == 9600 ? B9600 : speed == 19200 ? B19200 : B38400;
    ::cfsetispeed(&t, constant);
    ::cfsetospeed(&t, constant);
    return ::tcsetattr(m_fd, TCSANOW, &t) == 0;
  }

  // Sends and collects the answer up to its ";", or whatever came within `timeoutMs`.
  std::string Ask(const std::string& command, int timeoutMs = 2000) {
    ::tcflush(m_fd, TCIFLUSH);
    const auto start = Clock::now();
    if (::write(m_fd, command.data(), command.size()) != static_cast<ssize_t>(command.size())) return "<write failed>";
    std::string answer;
    const auto deadline = start + std::chrono::milliseconds(timeoutMs);
    while (answer.empty() || answer.back() != ';') {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) break;
      pollfd p{m_fd, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
      char buffer[256];
      const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
      if (n > 0) answer.append(buffer, static_cast<std::size_t>(n));
    }
    m_lastAskMicros = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
    return answer;
  }
  long long LastAskMicros() const { return m_lastAskMicros; }

 private:
  int m_fd = -1;
  long long m_lastAskMicros = 0;
};

TEST(PtySimulator, PublishesItsPortAndAnswersOnlyAtItsSpeed) {
  TempRuntimeDir dir;
  ASSERT_FALSE(dir.path.empty());
  SimProcess sim(dir.path, {"--speed", "19200", "--serial", "4321"});
  std::string name, slave;
  ASSERT_TRUE(sim.Publish(name, slave));
  EXPECT_EQ(name, "ttySIM0");
  const std::string link = dir.PortFolder() + "/" + name;
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), slave);

  {
    PlainPort port(link);
    ASSERT_TRUE(port.IsOpen());
    ASSERT_TRUE(port.SetSpeed(38400));
    EXPECT_EQ(port.Ask(";", 400), "");
    ASSERT_TRUE(port.SetSpeed(19200));
    const std::string answer = port.Ask(";");
    ASSERT_FALSE(answer.empty());
    EXPECT_EQ(answer.back(), ';');
    EXPECT_EQ(port.Ask("^sn;"), "^SN4321;");
  }

  EXPECT_EQ(sim.Stop(SIGTERM), 0);
  EXPECT_FALSE(std::filesystem::is_symlink(link));

  // A killed simulator cannot withdraw its link; the next one to start removes it.
  SimProcess killed(dir.path, {"--name", "ttyOLD"});
  ASSERT_TRUE(killed.Publish(name, slave));
  EXPECT_EQ(killed.Stop(SIGKILL), 128 + SIGKILL);
  const std::string old = dir.PortFolder() + "/ttyOLD";
  ASSERT_TRUE(std::filesystem::is_symlink(old));
  SimProcess next(dir.path, {});
  ASSERT_TRUE(next.Publish(name, slave));
  EXPECT_FALSE(std::filesystem::is_symlink(old));
}

TEST(PtySimulator, FollowsSpeedChangesAndPacesEveryByte) {
  TempRuntimeDir dir;
  SimProcess sim(dir.path, {"--answer-delay", "0"});
  std::string name, slave;
  ASSERT_TRUE(sim.Publish(name, slave));
  PlainPort port(dir.PortFolder() + "/" + name);
  ASSERT_TRUE(port.SetSpeed(38400));
  ASSERT_FALSE(port.Ask(";").empty());
  EXPECT_EQ(port.Ask("^brp0;", 200), "");
  EXPECT_EQ(port.Ask(";", 300), "");
  ASSERT_TRUE(port.SetSpeed(4800));
  EXPECT_EQ(port.Ask("^sn;"), "^SN1234;");
  // Four bytes out and eight back at 4,800 bit/s cannot take less than 12 byte times.
  EXPECT_GE(port.LastAskMicros(), 12 * 2083);
  EXPECT_EQ(sim.Stop(SIGINT), 0);
}

}  // namespace
}  // namespace tola::test
