#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <thread>

#include "platform/EndRequests.h"

namespace tola {

namespace {

// Never destroyed: the thread that reads the pipe outlives main().
struct EndRequestState {
  std::mutex mutex;
  std::function<void()> onRequest;
  int pipe[2] = {-1, -1};
};

EndRequestState& State() {
  static EndRequestState* state = new EndRequestState;
  return *state;
}

int g_writeEnd = -1;

void OnSignal(int) {
  const int saved = errno;
  const char one = 1;
  [[maybe_unused]] const ssize_t written = ::write(g_writeEnd, &one, 1);
  errno = saved;
}

void ReadRequests(int readEnd) {
  for (;;) {
    char request = 0;
    const ssize_t got = ::read(readEnd, &request, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return;
    EndRequestState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.onRequest) state.onRequest();
  }
}

}  // namespace

void CatchEndRequests(std::function<void()> onRequest) {
  EndRequestState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.onRequest = std::move(onRequest);
  if (state.pipe[0] >= 0 || !state.onRequest) return;
  if (::pipe2(state.pipe, O_CLOEXEC) != 0) return;
  g_writeEnd = state.pipe[1];
  std::thread(ReadRequests, state.pipe[0]).detach();
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGHUP, &action, nullptr);
}

}  // namespace tola
