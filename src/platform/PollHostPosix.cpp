// The loop's wait on Linux: poll() over an eventfd that posted work writes to, the watched
// descriptors, a signalfd for Ctrl+C and standard input.

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <vector>

#include "platform/PollHost.h"

namespace tola {

struct PollHost::Platform {
  int wakeFd = -1;
  int signalFd = -1;
  std::map<int, std::pair<short, std::function<void(short)>>> fds;
  std::function<void()> onInterrupt;
  std::function<void(std::string_view)> onInput;
};

PollHost::PollHost() : m_platform(std::make_unique<Platform>()), m_start(Clock::now()) {
  m_platform->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

PollHost::~PollHost() {
  if (m_platform->wakeFd >= 0) ::close(m_platform->wakeFd);
  if (m_platform->signalFd >= 0) ::close(m_platform->signalFd);
}

void PollHost::Wake() {
  const std::uint64_t one = 1;
  // A full counter still wakes the loop; nothing to do on failure.
  [[maybe_unused]] ssize_t n = ::write(m_platform->wakeFd, &one, sizeof one);
}

LocalTime PollHost::Now() const {
  timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  tm parts{};
  ::localtime_r(&ts.tv_sec, &parts);
  LocalTime t;
  t.year = static_cast<unsigned>(parts.tm_year + 1900);
  t.month = static_cast<unsigned>(parts.tm_mon + 1);
  t.day = static_cast<unsigned>(parts.tm_mday);
  t.hour = static_cast<unsigned>(parts.tm_hour);
  t.minute = static_cast<unsigned>(parts.tm_min);
  t.second = static_cast<unsigned>(parts.tm_sec);
  t.millisecond = static_cast<unsigned>(ts.tv_nsec / 1000000);
  return t;
}

void PollHost::WatchFd(int fd, short events, std::function<void(short)> onReady) {
  m_platform->fds[fd] = {events, std::move(onReady)};
}

void PollHost::UnwatchFd(int fd) { m_platform->fds.erase(fd); }

void PollHost::CatchInterrupts(std::function<void()> onInterrupt) {
  m_platform->onInterrupt = std::move(onInterrupt);
  if (m_platform->signalFd >= 0) return;
  // Blocked signals wait in the descriptor, so they arrive between two pieces of work, never
  // inside one.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  if (::sigprocmask(SIG_BLOCK, &signals, nullptr) != 0) return;
  m_platform->signalFd = ::signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
  if (m_platform->signalFd < 0) return;
  WatchFd(m_platform->signalFd, POLLIN, [this](short) {
    signalfd_siginfo info{};
    while (::read(m_platform->signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    }
    if (auto handler = m_platform->onInterrupt) handler();
  });
}

void PollHost::WatchInput(std::function<void(std::string_view)> onBytes) {
  m_platform->onInput = std::move(onBytes);
  WatchFd(STDIN_FILENO, POLLIN, [this](short) {
    char buffer[256];
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) return;
    auto handler = m_platform->onInput;
    if (got <= 0) {
      UnwatchInput();
      if (handler) handler({});
      return;
    }
    if (handler) handler(std::string_view(buffer, static_cast<std::size_t>(got)));
  });
}

void PollHost::UnwatchInput() {
  UnwatchFd(STDIN_FILENO);
  m_platform->onInput = nullptr;
}

bool PollHost::Wait(int timeoutMs) {
  std::vector<pollfd> fds;
  fds.push_back(pollfd{m_platform->wakeFd, POLLIN, 0});
  for (const auto& [fd, watch] : m_platform->fds) fds.push_back(pollfd{fd, watch.first, 0});
  const int n = ::poll(fds.data(), fds.size(), timeoutMs);
  if (n < 0) return errno == EINTR;
  if (fds[0].revents & POLLIN) {
    std::uint64_t count = 0;
    [[maybe_unused]] ssize_t r = ::read(m_platform->wakeFd, &count, sizeof count);
  }
  for (std::size_t i = 1; i < fds.size(); ++i) {
    if (fds[i].revents == 0) continue;
    auto it = m_platform->fds.find(fds[i].fd);
    if (it == m_platform->fds.end()) continue;  // unwatched by an earlier callback
    auto callback = it->second.second;
    callback(fds[i].revents);
  }
  return true;
}

}  // namespace tola
