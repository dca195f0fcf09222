// The loop's wait on Windows: an event that posted work sets, the console's Ctrl+C through its
// handler thread, and standard input through a reader thread; both only post to the loop.

#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/EndRequests.h"
#include "platform/PollHost.h"
#include "platform/Win32.h"

namespace tola {

namespace {

// One standard input per process, so one reader for it, lent to the host that watches it. Never
// destroyed: a read may still wait when the process ends, and must not keep it from ending.
struct InputReader {
  std::mutex mutex;
  std::condition_variable wanted;
  bool started = false;
  bool watching = false;
  bool ended = false;
  std::string held;                 // read, not yet delivered
  const void* owner = nullptr;      // the host watching, or the last one
  std::function<void()> notify;     // posts a delivery to that host

  void Run() {
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(mutex);
        wanted.wait(lock, [this] { return watching; });
      }
      char buffer[256];
      DWORD got = 0;
      const BOOL ok = ::ReadFile(input, buffer, sizeof buffer, &got, nullptr);
      // Ctrl+C breaks off a read on a console; the handler deals with it and the read starts over.
      if (!ok && ::GetLastError() == ERROR_OPERATION_ABORTED) continue;
      std::lock_guard<std::mutex> lock(mutex);
      if (ok && got > 0) {
        held.append(buffer, got);
      } else {
        ended = true;
      }
      if (notify) notify();
      if (ended) return;
    }
  }
};

InputReader& Reader() {
  static InputReader* reader = new InputReader;
  return *reader;
}

}  // namespace

struct PollHost::Platform {
  HANDLE wake = nullptr;
  bool caught = false;
  std::function<void()> onInterrupt;
  std::function<void(std::string_view)> onInput;
};

PollHost::PollHost() : m_platform(std::make_unique<Platform>()), m_start(Clock::now()) {
  m_platform->wake = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

PollHost::~PollHost() {
  if (m_platform->caught) CatchEndRequests(nullptr);
  {
    InputReader& reader = Reader();
    std::lock_guard<std::mutex> lock(reader.mutex);
    if (reader.owner == this) {
      reader.owner = nullptr;
      reader.watching = false;
      reader.notify = nullptr;
    }
  }
  if (m_platform->wake) ::CloseHandle(m_platform->wake);
}

void PollHost::Wake() { ::SetEvent(m_platform->wake); }

LocalTime PollHost::Now() const {
  SYSTEMTIME st{};
  ::GetLocalTime(&st);
  LocalTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.millisecond = st.wMilliseconds;
  return t;
}

bool PollHost::Wait(int timeoutMs) {
  const DWORD timeout = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
  return ::WaitForSingleObject(m_platform->wake, timeout) != WAIT_FAILED;
}

void PollHost::CatchInterrupts(std::function<void()> onInterrupt) {
  m_platform->onInterrupt = std::move(onInterrupt);
  m_platform->caught = true;
  CatchEndRequests([this] {
    Post([this] {
      if (auto handler = m_platform->onInterrupt) handler();
    });
  });
}

void PollHost::WatchInput(std::function<void(std::string_view)> onBytes) {
  m_platform->onInput = std::move(onBytes);
  InputReader& reader = Reader();
  std::lock_guard<std::mutex> lock(reader.mutex);
  reader.owner = this;
  reader.watching = true;
  reader.notify = [this] {
    Post([this] {
      std::string bytes;
      bool ended = false;
      {
        InputReader& r = Reader();
        std::lock_guard<std::mutex> hold(r.mutex);
        if (r.owner != this || !r.watching) return;  // kept for the next watch
        bytes.swap(r.held);
        ended = r.ended;
      }
      if (!bytes.empty()) {
        if (auto handler = m_platform->onInput) handler(bytes);
      }
      if (!ended || !m_platform->onInput) return;
      auto handler = m_platform->onInput;
      UnwatchInput();
      handler({});
    });
  };
  if (!reader.started) {
    reader.started = true;
    std::thread([&reader] { reader.Run(); }).detach();
  }
  // What an earlier read brought in (or the end) is delivered now.
  if (!reader.held.empty() || reader.ended) reader.notify();
  reader.wanted.notify_one();
}

void PollHost::UnwatchInput() {
  m_platform->onInput = nullptr;
  InputReader& reader = Reader();
  std::lock_guard<std::mutex> lock(reader.mutex);
  if (reader.owner == this) reader.watching = false;
}

}  // namespace tola
