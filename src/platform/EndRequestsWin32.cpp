#include <mutex>

#include "platform/EndRequests.h"
#include "platform/Win32.h"

namespace tola {

namespace {

// Never destroyed: the system's handler thread may run while the process ends.
struct EndRequestState {
  std::mutex mutex;
  std::function<void()> onRequest;
  bool installed = false;
};

EndRequestState& State() {
  static EndRequestState* state = new EndRequestState;
  return *state;
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  {
    EndRequestState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!state.onRequest) return FALSE;
    state.onRequest();
  }
  // The system ends the process as soon as this returns from a closed console; the pause gives the
  // loop the time to let go of the port first (the process ending ends the pause too).
  if (event == CTRL_CLOSE_EVENT) ::Sleep(4000);
  return TRUE;
}

}  // namespace

void CatchEndRequests(std::function<void()> onRequest) {
  EndRequestState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.onRequest = std::move(onRequest);
  if (state.installed || !state.onRequest) return;
  state.installed = ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != FALSE;
}

}  // namespace tola
