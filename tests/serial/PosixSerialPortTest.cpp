#include "serial/PosixSerialPort.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

#include "PosixPty.h"
#include "platform/VirtualHost.h"
#include "serial/VirtualPorts.h"
#include "support/FakeSerialPort.h"

namespace tola {
namespace {

using test::Pty;
using test::RecordingPortSink;
using test::ScopedEnv;
using test::TempFolder;
using test::WaitFor;

// Records the pauses instead of taking them; posted work runs at once, on the reader's thread.
class PauseRecordingHost : public VirtualHost {
 public:
  void Sleep(std::uint32_t ms) override { pauses.push_back(ms); }
  void Post(std::function<void()> work) override { work(); }
  std::vector<std::uint32_t> pauses;
};

class PosixSerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.Ok());
    port.SetSink(&sink);
  }

  std::string Drain() { return test::ReadAvailable(port); }
  std::string DrainAtLeast(std::size_t count) {
    std::string got;
    WaitFor([&] {
      got += Drain();
      return got.size() >= count;
    });
    return got;
  }

  // Every call that needs the device fails with `code`, and nothing is reported.
  void ExpectCallsFailWith(ResultCode code) {
    char buffer[4];
    std::uint32_t n = 7;
    const std::pair<const char*, std::function<bool()>> calls[] = {
        {"read", [&] { return port.Read(buffer, sizeof buffer, n) || n != 0; }},
        {"write", [&] { return port.Write("x", 1); }},
        {"purge", [&] { return port.Purge(); }},
        {"speed", [&] { return port.SetLineSpeed(4800) != 0; }},
    };
    for (const auto& [name, call] : calls) {
      SCOPED_TRACE(name);
      SetLastError(kErrorSuccess);
      EXPECT_FALSE(call());
      EXPECT_EQ(GetLastError(), code);
    }
    EXPECT_TRUE(sink.Failures().empty());
  }

  Pty pty;
  RecordingPortSink sink;
  PauseRecordingHost host;
  PosixSerialPort port{host};
};

enum ChildOutcome { kRefusedBusy = 10, kRefusedByLock = 11, kTookIt = 12, kOtherFailure = 13 };

// Runs `body` in a forked child, optionally as an unprivileged user, and returns its exit status.
int InChild(bool dropPrivileges, const std::function<int()>& body) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (dropPrivileges && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(kOtherFailure);
    ::_exit(body());
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// Only async-signal-safe calls run in the child, since the parent may have a reader thread.
int ChildTriesToTake(const std::string& path, bool dropPrivileges) {
  return InChild(dropPrivileges, [&] {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return errno == EBUSY ? kRefusedBusy : kOtherFailure;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? kRefusedByLock : kOtherFailure;
    return kTookIt;
  });
}

TEST_F(PosixSerialPortTest, EmptyOrMissingDeviceFailsWithoutReportAndLeavesAClosedPortThatFailsSilently) {
  const std::pair<const char*, ResultCode> cases[] = {{"", 0xE200000Fu},
                                                       {"/dev/tola-no-such-port", kErrorFileNotFound}};
  for (const auto& [name, code] : cases) {
    SetLastError(0);
    EXPECT_FALSE(port.Open(name)) << name;
    EXPECT_EQ(GetLastError(), code) << name;
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(sink.Failures().empty());
  }
  ExpectCallsFailWith(kErrorInvalidHandle);
  std::uint32_t lineErrors = 0;
  EXPECT_FALSE(port.ClearCommError(lineErrors));
  EXPECT_TRUE(host.pauses.empty());
}

TEST_F(PosixSerialPortTest, OpenSetsRaw38400WithoutFlowControlWhateverWasBefore) {
  termios before = pty.SlaveSettings();
  cfsetispeed(&before, B9600);
  cfsetospeed(&before, B9600);
  before.c_cflag |= CRTSCTS | HUPCL | PARENB;
  before.c_iflag |= IXON | IXOFF;
  before.c_lflag |= ICANON | ECHO;
  ASSERT_EQ(tcsetattr(pty.Master(), TCSANOW, &before), 0);

  ASSERT_TRUE(port.Open(pty.Slave()));
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(port.PortName(), pty.Slave());
  EXPECT_EQ(port.DevicePath(), pty.Slave());
  EXPECT_EQ(port.Speed(), 38400u);
  EXPECT_EQ(host.pauses, std::vector<std::uint32_t>{50});

  const termios t = pty.SlaveSettings();
  EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B38400));
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B38400));
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS | HUPCL), 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | ISTRIP), 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_cc[VMIN], 0);
  EXPECT_EQ(t.c_cc[VTIME], 0);
  // A pseudo-terminal has no modem lines or counters; neither refusal is an error.
  EXPECT_TRUE(sink.Failures().empty());
  std::uint32_t lineErrors = 99;
  EXPECT_TRUE(port.ClearCommError(lineErrors));
  EXPECT_EQ(lineErrors, 0u);
}

TEST_F(PosixSerialPortTest, OpenOnAnOpenPortKeepsItsDeviceAndASecondPortIsRefusedWithoutReport) {
  Pty other;
  ASSERT_TRUE(other.Ok());
  ASSERT_TRUE(port.Open(pty.Slave()));
  EXPECT_TRUE(port.Open(other.Slave()));
  EXPECT_EQ(port.DevicePath(), pty.Slave());
  EXPECT_EQ(host.pauses.size(), 1u);
  EXPECT_TRUE(PosixSerialPort(host).Open(other.Slave())) << "the other device was left alone";

  RecordingPortSink secondSink;
  PosixSerialPort second(host);
  second.SetSink(&secondSink);
  SetLastError(0);
  EXPECT_FALSE(second.Open(pty.Slave()));
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  EXPECT_FALSE(second.IsOpen());
  EXPECT_TRUE(secondSink.Failures().empty());
  EXPECT_TRUE(sink.Failures().empty());
  port.Close();
  EXPECT_TRUE(second.Open(pty.Slave()));
}

TEST_F(PosixSerialPortTest, OtherProcessesAreRefusedUntilClose) {
  ASSERT_TRUE(port.Open(pty.Slave()));
  const bool root = ::geteuid() == 0;
  // Root passes TIOCEXCL, so the lock is what stops it; other users are stopped at open().
  EXPECT_EQ(ChildTriesToTake(pty.Slave(), false), root ? kRefusedByLock : kRefusedBusy);
  if (root) {
    ASSERT_EQ(::chmod(pty.Slave().c_str(), 0666), 0);
    EXPECT_EQ(ChildTriesToTake(pty.Slave(), true), kRefusedBusy);
  }
  port.Close();
  // Both the lock and the tty's exclusive mark are gone after Close.
  EXPECT_EQ(ChildTriesToTake(pty.Slave(), false), kTookIt);
  if (root) {
    EXPECT_EQ(ChildTriesToTake(pty.Slave(), true), kTookIt);
  }
}

TEST_F(PosixSerialPortTest, RootOpeningATtyHeldExclusivelyElsewhereIsRefused) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can open a tty another holder marked exclusive";
  const int holder = ::open(pty.Slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::ioctl(holder, TIOCEXCL), 0);
  EXPECT_FALSE(port.Open(pty.Slave()));
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  // The refused port must not have cleared the holder's mark.
  int exclusive = 0;
  ASSERT_EQ(::ioctl(holder, TIOCGEXCL, &exclusive), 0);
  EXPECT_NE(exclusive, 0);
  ::close(holder);
}

TEST_F(PosixSerialPortTest, PermissionDeniedHasItsOwnCodeAndNoReport) {
  // Root passes any mode, so it tries as an unprivileged user; no other thread runs now, so the
  // child may use a port freely.
  ASSERT_EQ(::chmod(pty.Slave().c_str(), 0), 0);
  EXPECT_EQ(InChild(::geteuid() == 0,
                    [&] {
                      RecordingPortSink childSink;
                      PosixSerialPort childPort(host);
                      childPort.SetSink(&childSink);
                      if (childPort.Open(pty.Slave())) return 4;
                      if (GetLastError() != kSerialPermissionDenied) return 5;
                      return childSink.Failures().empty() ? 0 : 6;
                    }),
            0);
}

TEST_F(PosixSerialPortTest, PermissionHintNamesTheDeviceGroupOrItsOwner) {
  struct stat info {};
  ASSERT_EQ(::stat(pty.Slave().c_str(), &info), 0);
  const group* owner = ::getgrgid(info.st_gid);
  ASSERT_NE(owner, nullptr);
  const std::string groupName = owner->gr_name;

  ASSERT_EQ(::chmod(pty.Slave().c_str(), 0660), 0);
  const std::string hint = PermissionHint(pty.Slave());
  EXPECT_NE(hint.find(pty.Slave()), std::string::npos) << hint;
  EXPECT_NE(hint.find("\"" + groupName + "\""), std::string::npos) << hint;

  // Joining the group would not help a device only its owner may use.
  ASSERT_EQ(::chmod(pty.Slave().c_str(), 0600), 0);
  EXPECT_NE(PermissionHint(pty.Slave()).find("owner"), std::string::npos);

  EXPECT_EQ(PermissionHint("/dev/tola-no-such-port"), "");
}

TEST_F(PosixSerialPortTest, LineSpeedChangesOnlyToTheFourSpeedsWithPauses) {
  ASSERT_TRUE(port.Open(pty.Slave()));
  host.pauses.clear();

  EXPECT_EQ(port.SetLineSpeed(57600), kEInvalidArg);
  EXPECT_EQ(port.Speed(), 38400u);
  const termios unchanged = pty.SlaveSettings();
  EXPECT_EQ(cfgetospeed(&unchanged), static_cast<speed_t>(B38400));
  EXPECT_TRUE(host.pauses.empty());

  EXPECT_EQ(port.SetLineSpeed(38400), 1u);
  EXPECT_TRUE(host.pauses.empty());

  EXPECT_EQ(port.SetLineSpeed(9600), 1u);
  EXPECT_EQ(port.Speed(), 9600u);
  const termios t = pty.SlaveSettings();
  EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B9600));
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
  // Raw mode survives the change.
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
  EXPECT_EQ(host.pauses, (std::vector<std::uint32_t>{50, 50}));

  EXPECT_EQ(port.SetLineSpeed(4800), 1u);
  EXPECT_EQ(port.Speed(), 4800u);
  EXPECT_TRUE(sink.Failures().empty());

  // Reopening starts at 38,400 again.
  port.Close();
  ASSERT_TRUE(port.Open(pty.Slave()));
  EXPECT_EQ(port.Speed(), 38400u);
}

TEST_F(PosixSerialPortTest, BurstPostsAnEventAndTheBytesWaitForTheHandler) {
  ASSERT_TRUE(port.Open(pty.Slave()));
  ASSERT_TRUE(pty.Send("0123456789"));
  ASSERT_TRUE(sink.WaitForEvents(1));
  for (std::uint32_t wParam : sink.Events()) EXPECT_EQ(wParam, CSerialPort::kEventRxChar);

  // The reader thread only noticed the arrival; every byte is still there for the handler, and a
  // read takes no more than it is asked for.
  char four[4] = {};
  std::uint32_t got = 0;
  ASSERT_TRUE(port.Read(four, 4, got));
  ASSERT_EQ(got, 4u);
  EXPECT_EQ(std::string(four, got) + DrainAtLeast(6), "0123456789");
  // Each event stands for at least one new byte: no event repeats for bytes still unread.
  EXPECT_LE(sink.Events().size(), 10u);

  // Any event still to come for this burst finds nothing.
  char buffer[16];
  std::uint32_t n = 99;
  EXPECT_TRUE(port.Read(buffer, sizeof buffer, n));
  EXPECT_EQ(n, 0u);

  // A later arrival posts again even while earlier bytes lie unread.
  const std::size_t seen = sink.Events().size();
  ASSERT_TRUE(pty.Send("ab"));
  ASSERT_TRUE(sink.WaitForEvents(seen + 1));
  const std::size_t seenAgain = sink.Events().size();
  ASSERT_TRUE(pty.Send("cd"));
  ASSERT_TRUE(sink.WaitForEvents(seenAgain + 1));
  EXPECT_EQ(DrainAtLeast(4), "abcd");

  // Purge discards what was received and not yet read.
  const std::size_t beforeStale = sink.Events().size();
  ASSERT_TRUE(pty.Send("stale"));
  ASSERT_TRUE(sink.WaitForEvents(beforeStale + 1));
  EXPECT_TRUE(port.Purge());
  EXPECT_EQ(Drain(), "");
  ASSERT_TRUE(pty.Send("fresh"));
  EXPECT_EQ(DrainAtLeast(5), "fresh");
  EXPECT_TRUE(sink.Failures().empty());
}

TEST_F(PosixSerialPortTest, WriteDeliversEveryByteEvenWhenTheQueueFills) {
  ASSERT_TRUE(port.Open(pty.Slave()));
  EXPECT_TRUE(port.Write("hello", 5));
  EXPECT_EQ(pty.Receive(5), "hello");

  // Far more than a pseudo-terminal buffers: the write must wait for room, not give up.
  std::string big(300000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('A' + i % 26);
  std::string received;
  std::thread reader([&] { received = pty.Receive(big.size()); });
  EXPECT_TRUE(port.Write(big.data(), static_cast<std::uint32_t>(big.size())));
  reader.join();
  EXPECT_EQ(received.size(), big.size());
  EXPECT_TRUE(received == big);
  EXPECT_TRUE(sink.Failures().empty());
}

TEST_F(PosixSerialPortTest, CloseStopsTheWaitingReaderAndTwiceIsHarmless) {
  ASSERT_TRUE(port.Open(pty.Slave()));
  EXPECT_TRUE(port.ReaderRunning());
  EXPECT_TRUE(port.Close());
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(port.ReaderRunning());
  EXPECT_TRUE(port.Close());
  EXPECT_FALSE(port.IsOpen());

  // Reopening brings a fresh reader that posts again.
  ASSERT_TRUE(port.Open(pty.Slave()));
  ASSERT_TRUE(pty.Send("z"));
  EXPECT_TRUE(sink.WaitForEvents(1));
  EXPECT_TRUE(sink.Failures().empty());
}

TEST_F(PosixSerialPortTest, UnplugIsToldOnceAndLaterCallsFailSilentlyAsNotConnected) {
  ASSERT_TRUE(port.Open(pty.Slave()));
  pty.CloseMaster();
  ASSERT_TRUE(WaitFor([&] { return !port.ReaderRunning(); }));
  EXPECT_TRUE(port.DeviceGone());
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(sink.gone.load(), 1);
  ExpectCallsFailWith(kErrorDeviceNotConnected);
  EXPECT_EQ(sink.gone.load(), 1);

  EXPECT_TRUE(port.Close());
  EXPECT_FALSE(port.DeviceGone());
  EXPECT_TRUE(sink.Failures().empty());
}

TEST_F(PosixSerialPortTest, VirtualPortNameOpensThroughTheRuntimeFolder) {
  TempFolder runtime;
  ScopedEnv env("XDG_RUNTIME_DIR", runtime.Path());
  const std::filesystem::path folder = runtime / "tola400-sim";
  std::filesystem::create_directory(folder);
  PublishedPort link;
  ASSERT_TRUE(link.Publish(folder.string(), "ttySIM9", pty.Slave()));

  ASSERT_TRUE(port.Open("ttySIM9"));
  EXPECT_EQ(port.PortName(), "ttySIM9");
  EXPECT_EQ(port.DevicePath(), (folder / "ttySIM9").string());
  EXPECT_TRUE(port.Write("via link", 8));
  EXPECT_EQ(pty.Receive(8), "via link");
}

}  // namespace
}  // namespace tola
