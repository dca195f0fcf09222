#include "serial/PosixSerialPort.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <poll.h>
#include <pwd.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <system_error>
#include <vector>

#include "serial/VirtualPorts.h"

namespace tola {

namespace {

// Line-error flags as the serial event and ClearCommError carry them.
constexpr std::uint32_t kLineRxOver = 0x0001;
constexpr std::uint32_t kLineOverrun = 0x0002;
constexpr std::uint32_t kLineParity = 0x0004;
constexpr std::uint32_t kLineFrame = 0x0008;
constexpr std::uint32_t kLineBreak = 0x0010;

// A write waits at most this long beyond the wire time of its bytes.
constexpr std::int64_t kWriteSlackMs = 2000;

speed_t SpeedConstant(std::uint32_t speed) {
  switch (speed) {
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    default: return B0;
  }
}

// The callers tell "held by another program" (5) apart from "this user may not open it", which has
// its own code telling the operator to join the device's group.
ResultCode OpenErrorCode(int err) {
  switch (err) {
    case EACCES:
    case EPERM: return kSerialPermissionDenied;
    case EBUSY: return kErrorAccessDenied;
    default: return ResultFromErrno(err);
  }
}

ResultCode LockErrorCode(int err) {
  if (err == EBUSY || err == EWOULDBLOCK) return kErrorAccessDenied;
  return ResultFromErrno(err);
}

// What a tty gives once its device is gone: a hung-up line, a pulled adapter.
bool MeansGone(ResultCode code) {
  return code == ResultFromErrno(EIO) || code == ResultFromErrno(ENXIO) || code == ResultFromErrno(ENODEV);
}

void CloseFd(int& fd) {
  if (fd >= 0) {
    ::close(fd);
    fd = -1;
  }
}

}  // namespace

bool RequestLowLatency(int fd) {
  serial_struct info{};
  if (::ioctl(fd, TIOCGSERIAL, &info) != 0) return false;
  if ((info.flags & ASYNC_LOW_LATENCY) != 0) return true;
  info.flags |= ASYNC_LOW_LATENCY;
  return ::ioctl(fd, TIOCSSERIAL, &info) == 0;
}

std::unique_ptr<CSerialPort> MakeSystemSerialPort(Host& host) { return std::make_unique<PosixSerialPort>(host); }

PosixSerialPort::PosixSerialPort(Host& host) : m_host(host), m_lineSettings(std::make_unique<termios>()) {}

PosixSerialPort::~PosixSerialPort() { Close(); }

bool PosixSerialPort::Fail(const std::string& call, ResultCode code) {
  ReportPortFailure(call, code);
  SetLastError(code);
  return false;
}

bool PosixSerialPort::FailWith(const std::string& call, int err) {
  const ResultCode code = ResultFromErrno(err);
  if (MeansGone(code)) {
    MarkGone();
    return Gone();
  }
  return Fail(call, code);
}

void PosixSerialPort::MarkGone() {
  if (!m_hungUp.exchange(true)) TellGone();
}

bool PosixSerialPort::Open(const std::string& name) {
  if (IsOpen()) return true;
  m_portName = name;
  if (name.empty()) {
    Close();
    SetLastError(kPortNameMissing);
    return false;
  }
  m_hungUp = false;

  m_stopFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (m_stopFd >= 0) m_epollFd = ::epoll_create1(EPOLL_CLOEXEC);
  if (m_stopFd < 0 || m_epollFd < 0) {
    const ResultCode code = ResultFromErrno(errno);
    ReportPortFailure("CreateEvent", code);
    Close();
    SetLastError(code);
    return false;
  }

  // Failures to get hold of the device are the caller's to report.
  m_devicePath = ResolvePortPath(name);
  m_fd = ::open(m_devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (m_fd < 0) {
    const ResultCode code = OpenErrorCode(errno);
    Close();
    SetLastError(code);
    return false;
  }
  // TIOCEXCL keeps other users out but not root, so an advisory lock backs it up. A tty already
  // marked exclusive belongs to someone else even when root may open it.
  int alreadyExclusive = 0;
  if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
    const ResultCode code = LockErrorCode(errno);
    Close();
    SetLastError(code);
    return false;
  }
  if (::ioctl(m_fd, TIOCGEXCL, &alreadyExclusive) == 0 && alreadyExclusive != 0) {
    Close();
    SetLastError(kErrorAccessDenied);
    return false;
  }
  if (::ioctl(m_fd, TIOCEXCL) != 0) {
    const ResultCode code = LockErrorCode(errno);
    Close();
    SetLastError(code);
    return false;
  }
  m_exclusive = true;
  ClearModemLines();

  if (!ApplyLineSettings()) {
    const ResultCode code = GetLastError();
    Close();
    SetLastError(code);
    return false;
  }
  RequestLowLatency(m_fd);
  {
    std::lock_guard<std::mutex> lock(m_countsMutex);
    ResultCode ignored = 0;
    m_countsKnown = ReadCounts(m_counts, ignored);
  }

  epoll_event rx{};
  rx.events = EPOLLIN | EPOLLET;
  rx.data.fd = m_fd;
  epoll_event stop{};
  stop.events = EPOLLIN;
  stop.data.fd = m_stopFd;
  if (::epoll_ctl(m_epollFd, EPOLL_CTL_ADD, m_fd, &rx) != 0 ||
      ::epoll_ctl(m_epollFd, EPOLL_CTL_ADD, m_stopFd, &stop) != 0) {
    const ResultCode code = ResultFromErrno(errno);
    ReportPortFailure("SetCommMask", code);
    Close();
    SetLastError(code);
    return false;
  }

  if (!m_reader.joinable()) {
    m_stop = false;
    m_readerRunning = true;
    try {
      m_reader = std::thread([this] { ReaderThread(); });
    } catch (const std::system_error& e) {
      m_readerRunning = false;
      const ResultCode code = ResultFromErrno(e.code().value());
      ReportPortFailure("CreateThread", code);
      Close();
      SetLastError(code);
      return false;
    }
  }
  return true;
}

bool PosixSerialPort::ApplyLineSettings() {
  termios settings{};
  if (::tcgetattr(m_fd, &settings) != 0) return Fail("GetCommState", ResultFromErrno(errno));
  ::cfmakeraw(&settings);
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
  settings.c_cflag |= CS8 | CLOCAL | CREAD;
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  settings.c_cc[VSTART] = 0x11;
  settings.c_cc[VSTOP] = 0x13;
  ::cfsetispeed(&settings, SpeedConstant(kSpeedAfterOpen));
  ::cfsetospeed(&settings, SpeedConstant(kSpeedAfterOpen));

  ResultCode code = 0;
  const bool applied = SetCommState(settings, code);
  if (applied) {
    *m_lineSettings = settings;
    m_speed = kSpeedAfterOpen;
  } else {
    ReportPortFailure("SetCommState", code);
  }
  m_host.Sleep(kSpeedChangePauseMs);
  if (!applied) {
    SetLastError(code);
    return false;
  }
  // Some drivers raise DTR and RTS again when the speed moves away from 0 bit/s.
  ClearModemLines();
  return true;
}

bool PosixSerialPort::SetCommState(const termios& settings, ResultCode& code) {
  if (::tcsetattr(m_fd, TCSANOW, &settings) != 0) {
    code = ResultFromErrno(errno);
    return false;
  }
  // tcsetattr succeeds when any part was taken; a speed the driver kept from before is a refusal.
  termios applied{};
  if (::tcgetattr(m_fd, &applied) != 0) {
    code = ResultFromErrno(errno);
    return false;
  }
  if (::cfgetospeed(&applied) != ::cfgetospeed(&settings)) {
    code = kErrorInvalidParameter;
    return false;
  }
  return true;
}

void PosixSerialPort::ClearModemLines() {
  // A line without modem-control lines (a pseudo-terminal) refuses; there is nothing to clear then.
  int lines = TIOCM_DTR | TIOCM_RTS;
  ::ioctl(m_fd, TIOCMBIC, &lines);
}

bool PosixSerialPort::ReadCounts(LineCounts& counts, ResultCode& code) const {
  serial_icounter_struct icount{};
  if (::ioctl(m_fd, TIOCGICOUNT, &icount) != 0) {
    // No counters (a pseudo-terminal) is code 0: there are no line errors to know of.
    code = (errno == ENOTTY || errno == EINVAL) ? kErrorSuccess : ResultFromErrno(errno);
    return false;
  }
  counts.rxOver = icount.buf_overrun;
  counts.overrun = icount.overrun;
  counts.parity = icount.parity;
  counts.frame = icount.frame;
  counts.brk = icount.brk;
  return true;
}

bool PosixSerialPort::ClearCommError(std::uint32_t& errors) {
  errors = 0;
  if (!IsOpen()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  // The reader thread clears too. The lock spans the read as well as the compare-and-store: two
  // snapshots taken outside it could be stored out of order, and an error would then be reported
  // twice or not at all.
  std::lock_guard<std::mutex> lock(m_countsMutex);
  LineCounts now;
  ResultCode code = 0;
  if (!ReadCounts(now, code)) {
    if (code == kErrorSuccess) return true;
    SetLastError(code);
    return false;
  }
  if (m_countsKnown) {
    if (now.rxOver != m_counts.rxOver) errors |= kLineRxOver;
    if (now.overrun != m_counts.overrun) errors |= kLineOverrun;
    if (now.parity != m_counts.parity) errors |= kLineParity;
    if (now.frame != m_counts.frame) errors |= kLineFrame;
    if (now.brk != m_counts.brk) errors |= kLineBreak;
  }
  m_counts = now;
  m_countsKnown = true;
  return true;
}

void PosixSerialPort::ReaderThread() {
  std::array<epoll_event, 2> events{};
  while (!m_stop.load()) {
    const int n = ::epoll_wait(m_epollFd, events.data(), static_cast<int>(events.size()), -1);
    if (n < 0) {
      if (errno == EINTR) continue;
      ReportPortFailure("WaitCommEvent", ResultFromErrno(errno));
      break;
    }
    if (m_stop.load()) break;
    bool arrived = false;
    bool gone = false;
    for (int i = 0; i < n; ++i) {
      const epoll_event& event = events[static_cast<std::size_t>(i)];
      if (event.data.fd != m_fd) continue;
      if ((event.events & (EPOLLHUP | EPOLLERR)) != 0) {
        gone = true;
      } else if ((event.events & EPOLLIN) != 0) {
        arrived = true;
      }
    }
    if (gone) {
      // The device went away: end quietly; the sink hears of it once.
      MarkGone();
      break;
    }
    if (arrived) {
      std::uint32_t lineErrors = 0;
      ClearCommError(lineErrors);
      PostSerialEvent(((lineErrors & 0xFFFFu) << 16) | kEventRxChar);
    }
  }
  m_readerRunning = false;
}

void PosixSerialPort::StopReader() {
  if (!m_reader.joinable()) return;
  m_stop = true;
  const std::uint64_t one = 1;
  // One write cannot overflow the counter; there is nothing else that could fail here.
  [[maybe_unused]] const ssize_t written = ::write(m_stopFd, &one, sizeof one);
  m_reader.join();
  m_stop = false;
}

bool PosixSerialPort::Close() {
  StopReader();
  if (m_fd >= 0) {
    // The exclusive mark belongs to the tty, which outlives this descriptor (a pseudo-terminal
    // lives as long as its master); the lock goes with the descriptor.
    if (m_exclusive) ::ioctl(m_fd, TIOCNXCL);
    CloseFd(m_fd);
  }
  m_exclusive = false;
  CloseFd(m_epollFd);
  CloseFd(m_stopFd);
  std::lock_guard<std::mutex> lock(m_countsMutex);
  m_countsKnown = false;
  return true;
}

bool PosixSerialPort::Read(char* buffer, std::uint32_t count, std::uint32_t& bytesRead) {
  bytesRead = 0;
  if (!Usable()) return false;
  if (count == 0) return true;
  ssize_t n = 0;
  do {
    n = ::read(m_fd, buffer, count);
  } while (n < 0 && errno == EINTR);
  if (n > 0) {
    bytesRead = static_cast<std::uint32_t>(n);
    return true;
  }
  // With VMIN and VTIME 0 an empty queue reads as 0 bytes, as does a hung-up line.
  if (n == 0 || errno == EAGAIN) {
    if (m_hungUp.load()) return Gone();
    return true;
  }
  return FailWith("ReadFile", errno);
}

bool PosixSerialPort::Write(const char* bytes, std::uint32_t count) {
  if (!Usable()) return false;
  // A real line drains at wire speed; a peer that stops reading (a stalled pseudo-terminal) must not
  // hold the user-interface thread for ever.
  using Clock = std::chrono::steady_clock;
  const std::uint32_t bitsPerSecond = std::max<std::uint32_t>(m_speed, CSerialPort::kSpeeds.front());
  const auto wireMs = static_cast<std::int64_t>(count) * 10 * 1000 / bitsPerSecond;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(wireMs + kWriteSlackMs);

  std::uint32_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(m_fd, bytes + done, count - done);
    if (n > 0) {
      done += static_cast<std::uint32_t>(n);
      continue;
    }
    if (n == 0) break;
    if (errno == EINTR) continue;
    if (errno != EAGAIN) return FailWith("WriteFile", errno);
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    pollfd writable{m_fd, POLLOUT, 0};
    // Whatever poll says (room, hang-up, error), the next write tells what it meant.
    if (::poll(&writable, 1, static_cast<int>(left)) < 0 && errno != EINTR) {
      return Fail("WriteFile", ResultFromErrno(errno));
    }
  }
  if (done != count) {
    // A short write fails without a report of its own.
    SetLastError(kErrorTimeout);
    return false;
  }
  return true;
}

bool PosixSerialPort::Purge() {
  if (!Usable()) return false;
  if (::tcflush(m_fd, TCIFLUSH) != 0) return FailWith("PurgeComm", errno);
  return true;
}

ResultCode PosixSerialPort::SetLineSpeed(std::uint32_t speed) {
  if (!IsSupportedSpeed(speed)) return kEInvalidArg;
  if (speed == m_speed) return 1;
  if (!Usable()) return 0;
  m_host.Sleep(kSpeedChangePauseMs);
  termios settings = *m_lineSettings;
  ::cfsetispeed(&settings, SpeedConstant(speed));
  ::cfsetospeed(&settings, SpeedConstant(speed));
  ResultCode code = 0;
  const bool applied = SetCommState(settings, code);
  if (applied) {
    *m_lineSettings = settings;
    m_speed = speed;
  } else if (MeansGone(code) || m_hungUp.load()) {
    // The recorded speed stays the old one.
    MarkGone();
    code = kErrorDeviceNotConnected;
  } else {
    ReportPortFailure("SetCommState", code);
  }
  m_host.Sleep(kSpeedChangePauseMs);
  if (!applied) {
    SetLastError(code);
    return 0;
  }
  return 1;
}

namespace {

std::vector<char> EntryBuffer() {
  const long size = std::max(::sysconf(_SC_GETPW_R_SIZE_MAX), ::sysconf(_SC_GETGR_R_SIZE_MAX));
  return std::vector<char>(size > 0 ? static_cast<std::size_t>(size) : 16384);
}

// The user's name and primary group; false for a user the database does not know.
bool LookUpUser(uid_t uid, std::string& name, gid_t& primaryGroup) {
  std::vector<char> buffer = EntryBuffer();
  passwd entry{};
  passwd* found = nullptr;
  while (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == ERANGE) {
    buffer.resize(buffer.size() * 2);
  }
  if (!found) {
    name = std::to_string(uid);
    return false;
  }
  name = found->pw_name;
  primaryGroup = found->pw_gid;
  return true;
}

// The group's name, and whether `user` (primary group `userGid`) belongs to it.
std::string GroupName(gid_t gid, const std::string& user, gid_t userGid, bool& member) {
  std::vector<char> buffer = EntryBuffer();
  group entry{};
  group* found = nullptr;
  while (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE) {
    buffer.resize(buffer.size() * 2);
  }
  member = userGid == gid;
  if (!found) return std::to_string(gid);
  for (char** name = found->gr_mem; name && *name; ++name) {
    if (user == *name) member = true;
  }
  return found->gr_name;
}

bool SessionHasGroup(gid_t gid) {
  if (::getegid() == gid) return true;
  const int n = ::getgroups(0, nullptr);
  if (n <= 0) return false;
  std::vector<gid_t> groups(static_cast<std::size_t>(n));
  const int got = ::getgroups(n, groups.data());
  return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

}  // namespace

std::string PermissionHint(const std::string& devicePath) {
  const std::string path = ResolvePortPath(devicePath);
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  if ((info.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) {
    std::string owner;
    gid_t ownerGroup = 0;
    LookUpUser(info.st_uid, owner, ownerGroup);
    return path + " may be opened by its owner " + owner +
           " only; its group has no read and write access.";
  }
  std::string user;
  gid_t userGid = ::getgid();
  LookUpUser(::geteuid(), user, userGid);
  bool member = false;
  const std::string group = GroupName(info.st_gid, user, userGid, member);
  if (SessionHasGroup(info.st_gid)) {
    return path + " belongs to group \"" + group + "\", which this session already has.";
  }
  if (member) {
    return path + " belongs to group \"" + group + "\". User " + user +
           " is a member, but this session started before joining it: log out and log in again.";
  }
  return path + " belongs to group \"" + group + "\". Add user " + user +
         " to it (sudo usermod -aG " + group + " " + user + ") and log in again.";
}

}  // namespace tola
