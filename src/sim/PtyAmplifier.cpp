#include "sim/PtyAmplifier.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace tola {

namespace {

std::string ErrnoText(const std::string& what, int err) { return what + ": " + std::strerror(err); }

bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

}  // namespace

std::uint32_t TermiosSpeedToBits(unsigned long speed) {
  switch (speed) {
    case B50: return 50;
    case B75: return 75;
    case B110: return 110;
    case B134: return 134;
    case B150: return 150;
    case B200: return 200;
    case B300: return 300;
    case B600: return 600;
    case B1200: return 1200;
    case B1800: return 1800;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    default: return 0;
  }
}

PtyAmplifier::PtyAmplifier(PollHost& host, SimClock& clock, Tola400Model& model)
    : m_host(host), m_clock(clock), m_model(model) {}

PtyAmplifier::~PtyAmplifier() {
  Stop();
  m_model.SetOutput(nullptr);
  m_model.SetUnplugHandler(nullptr);
}

bool PtyAmplifier::Start(const std::string& folder, const std::string& name, std::string& error) {
  Stop();
  m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (m_master < 0) {
    error = ErrnoText("posix_openpt", errno);
    return false;
  }
  std::array<char, 256> path{};
  if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
      ::ptsname_r(m_master, path.data(), path.size()) != 0) {
    error = ErrnoText("pseudo-terminal setup", errno);
    Stop();
    return false;
  }
  m_slavePath = path.data();
  m_slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (m_slave < 0) {
    error = ErrnoText("open " + m_slavePath, errno);
    Stop();
    return false;
  }
  // Raw, as a serial port just opened by the program would be; no echo, so that answers written
  // into the terminal never come back as input.
  termios settings{};
  if (::tcgetattr(m_slave, &settings) == 0) {
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cflag &= ~static_cast<tcflag_t>(HUPCL);
    ::cfsetispeed(&settings, B38400);
    ::cfsetospeed(&settings, B38400);
    ::tcsetattr(m_slave, TCSANOW, &settings);
  }
  if (!Publish(folder, name, error)) {
    Stop();
    return false;
  }

  m_model.SetOutput([this](char byte, std::uint32_t speed) { OnModelByte(byte, speed); });
  m_model.SetUnplugHandler([this] { OnUnplugged(); });
  m_host.WatchFd(m_master, POLLIN, [this](short revents) { OnMasterReadable(revents); });
  ScheduleStaleMarkCheck();
  return true;
}

void PtyAmplifier::ScheduleStaleMarkCheck() {
  std::weak_ptr<int> alive = m_alive;
  m_clock.ScheduleAfter(kStaleMarkCheckUs, [this, alive] {
    if (alive.expired() || m_slave < 0) return;
    ClearStaleExclusiveMark();
    ScheduleStaleMarkCheck();
  });
}

void PtyAmplifier::ClearStaleExclusiveMark() {
  // The program marks the terminal exclusive and holds a lock on it while open. Because this end
  // keeps the terminal open, a program that died without clearing its mark would lock everyone
  // out until the simulator restarts; a mark without a lock holder is such a leftover.
  int exclusive = 0;
  if (::ioctl(m_slave, TIOCGEXCL, &exclusive) != 0 || exclusive == 0) return;
  if (::flock(m_slave, LOCK_EX | LOCK_NB) != 0) return;
  ::ioctl(m_slave, TIOCNXCL);
  ::flock(m_slave, LOCK_UN);
}

bool PtyAmplifier::Publish(const std::string& folder, const std::string& name, std::string& error) {
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    error = ErrnoText("mkdir " + folder, errno);
    return false;
  }
  // In a shared /tmp the folder must be ours, or someone else could redirect our links.
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
    error = "the port folder " + folder + " is not a folder owned by this user";
    return false;
  }

  // Links of simulators that were killed would otherwise be listed, and could lead to whatever
  // program has since been given their pseudo-terminal's number.
  RemoveStaleVirtualPorts(folder);

  auto tryName = [&](const std::string& candidate) -> bool {
    if (!m_published.Publish(folder, candidate, m_slavePath)) return false;
    m_name = candidate;
    return true;
  };

  if (!name.empty()) {
    if (!IsPlainName(name)) {
      error = "invalid port name \"" + name + "\"";
      return false;
    }
    if (tryName(name)) return true;
    error = "cannot publish port " + name + " in " + folder + ": " +
            (errno == EEXIST ? std::string("another simulator uses that name") : std::strerror(errno));
    return false;
  }
  for (int n = 0; n < 1000; ++n) {
    if (tryName(kNamePrefix + std::to_string(n))) return true;
    if (errno != EEXIST) {
      error = ErrnoText("symlink in " + folder, errno);
      return false;
    }
  }
  error = "no free port name in " + folder;
  return false;
}

void PtyAmplifier::Stop() {
  if (m_master >= 0) {
    m_host.UnwatchFd(m_master);
    ::close(m_master);
    m_master = -1;
  }
  if (m_slave >= 0) {
    ::close(m_slave);
    m_slave = -1;
  }
  m_published.Withdraw();
}

std::uint32_t PtyAmplifier::ProgramSpeed() const {
  // Both ends of a pseudo-terminal report the settings of the program's end.
  termios settings{};
  const int fd = m_slave >= 0 ? m_slave : m_master;
  if (fd < 0 || ::tcgetattr(fd, &settings) != 0) return 0;
  return TermiosSpeedToBits(::cfgetospeed(&settings));
}

void PtyAmplifier::OnMasterReadable(short revents) {
  std::array<char, 512> buffer{};
  for (;;) {
    const ssize_t n = ::read(m_master, buffer.data(), buffer.size());
    if (n > 0) {
      // The program's bytes left at the speed its end has now; they reach the amplifier one wire
      // time after another.
      const std::uint32_t speed = ProgramSpeed();
      std::weak_ptr<int> alive = m_alive;
      for (ssize_t i = 0; i < n; ++i) {
        const char byte = buffer[static_cast<std::size_t>(i)];
        const std::uint64_t start = std::max(m_clock.NowMicros(), m_rxFreeUs);
        m_rxFreeUs = start + ByteTimeMicros(speed);
        m_clock.ScheduleAt(m_rxFreeUs, [this, alive, byte, speed] {
          if (alive.expired()) return;
          LogByte(TrafficLog::Direction::ToAmplifier, byte, speed, speed == m_model.Speed());
          m_model.Receive(byte, speed);
        });
      }
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && !(revents & (POLLHUP | POLLERR))) return;
    // End of file or an error: stop watching rather than spin on it.
    m_host.UnwatchFd(m_master);
    return;
  }
}

void PtyAmplifier::OnModelByte(char byte, std::uint32_t speed) {
  const std::uint64_t start = std::max(m_clock.NowMicros(), m_txFreeUs);
  m_txFreeUs = start + ByteTimeMicros(speed);
  std::weak_ptr<int> alive = m_alive;
  m_clock.ScheduleAt(m_txFreeUs, [this, alive, byte, speed] {
    if (alive.expired() || m_master < 0) return;
    const bool understood = ProgramSpeed() == speed;
    LogByte(TrafficLog::Direction::FromAmplifier, byte, speed, understood);
    // A full terminal buffer (nobody reading) loses the byte, as a real UART would overrun.
    if (understood) {
      [[maybe_unused]] const ssize_t n = ::write(m_master, &byte, 1);
    }
  });
}

void PtyAmplifier::LogByte(TrafficLog::Direction direction, char byte, std::uint32_t speed,
                           bool understood) {
  if (!m_log) return;
  m_log->Record(direction, byte, speed, understood, m_clock.NowMicros());
  if (!m_logFlushScheduled) ScheduleLogFlush();
}

void PtyAmplifier::ScheduleLogFlush() {
  // A burst is written out once the line has been quiet for a moment, so the file follows live.
  constexpr std::uint64_t kQuietUs = 30'000;
  m_logFlushScheduled = true;
  std::weak_ptr<int> alive = m_alive;
  m_clock.ScheduleAt(m_log->LastRecordUs() + kQuietUs, [this, alive] {
    if (alive.expired() || !m_log) return;
    if (m_clock.NowMicros() < m_log->LastRecordUs() + kQuietUs) {
      ScheduleLogFlush();
      return;
    }
    m_logFlushScheduled = false;
    m_log->Flush();
  });
}

void PtyAmplifier::OnUnplugged() {
  if (m_log) m_log->Note("unplugged", m_clock.NowMicros());
  Stop();
  if (m_onUnplugged) m_onUnplugged();
}

}  // namespace tola
