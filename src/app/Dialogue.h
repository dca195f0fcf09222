#pragma once
// What AppState, the main window and the operation dialogs see of a running conversation with the
// amplifier (a state machine of the dialogue engine).

#include <cstdint>

namespace tola {

class Dialogue {
 public:
  virtual ~Dialogue() = default;
  // Records a cancel if running with no result yet; returns whether it was running.
  virtual bool Cancel() = 0;
  virtual bool IsIdle() const = 0;
  // Reads what the port holds and hands a complete response to the current state.
  virtual void OnSerialEvent() = 0;
  // A timer expiry; ignored unless `timerId` is the machine's own.
  virtual void OnTimer(unsigned timerId) = 0;
  virtual unsigned TimerId() const = 0;
  // The port's device went away: a running dialogue ends at once with ERROR_DEVICE_NOT_CONNECTED.
  virtual void OnPortLost() {}
};

}  // namespace tola
