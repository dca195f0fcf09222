#pragma once
// The dialogue engine: a machine owns a fixed graph of states and walks it one state at a time,
// driven only by the serial event and its own window timer on the user-interface thread.

#include <cstdint>
#include <functional>
#include <string>

#include "app/AppState.h"
#include "app/Dialogue.h"
#include "app/Format.h"
#include "dialogue/CState.h"
#include "resources/Strings.h"

namespace tola {

// Timer numbers of the machines (one each for all their waits).
enum : unsigned {
  kTimerFirmwareLoad = 6,
  kTimerConfigSave = 10,
  kTimerConfigRestore = 11,
  kTimerOperatePage = 20,
  kTimerFaultTable = 21,
  kTimerConnection = 23,
  kTimerOperate = 24,
  kTimerConfigCommand = 25,
};

inline constexpr std::uint32_t kDefaultRetryLimit = 10;

// Received bytes as trace lines show them: 0x20-0x7E as they are, anything else as \xHH.
std::string PrintableForm(const std::string& bytes);

class CStateMachine : public Dialogue {
 public:
  CStateMachine(AppState& owner, unsigned timerId);
  ~CStateMachine() override = default;
  CStateMachine(const CStateMachine&) = delete;
  CStateMachine& operator=(const CStateMachine&) = delete;

  // --- The dialogue interface.
  bool Cancel() override;
  bool IsIdle() const override { return m_current == &m_final; }
  void OnSerialEvent() override;
  void OnTimer(unsigned timerId) override;
  unsigned TimerId() const override { return m_timerId; }
  void OnPortLost() override;
  // Destroys an operation machine (after the present event); the connection machine stays.
  void Destroy();

  // The machine's own line sink; nothing by default.
  virtual void Log(const std::string& /*text*/) {}
  // Where a front end without a dialog log wants the trace lines (the command line prints them).
  void SetTraceHook(std::function<void(const std::string&)> hook) { m_traceHook = std::move(hook); }

  // --- Base operations for machines and states.
  void Start(CState& state);
  bool StartIfIdle(CState& state);
  // The send routine: empties the response buffer, logs, discards pending input, writes, arms the
  // timer and notes the send time. A failed write is left to the time-out.
  void SendCommand(const std::string& command, std::uint32_t timeoutMs);
  // Bytes written as they are (no purge), with the timer armed as for a command.
  void SendBytes(const std::string& bytes, std::uint32_t timeoutMs);
  // Arms the timer without sending.
  void Wait(std::uint32_t timeoutMs);
  void KillTimer();

  template <typename... Args>
  void Report(StringId format, const Args&... args) {
    const std::string text = FormatText(LoadString(format), args...);
    Log(text);
    m_owner.LogLine(text);
  }
  template <typename... Args>
  void ReportVerbose(StringId format, const Args&... args) {
    const std::string text = FormatText(LoadString(format), args...);
    Log(text);
    m_owner.LogVerbose(text);
  }
  // Trace lines are formatted only while "Trace" is on, and reach only the machine's own sink.
  template <typename... Args>
  void Trace(StringId format, const Args&... args) {
    if (!TraceEnabled()) return;
    const std::string text = FormatText(LoadString(format), args...);
    Log(text);
    if (m_traceHook) m_traceHook(text);
  }
  bool TraceEnabled() const { return m_owner.trace.Get() != 0; }

  AppState& Owner() const { return m_owner; }
  CState* Current() const { return m_current; }
  void SetCurrent(CState* state) { m_current = state; }
  CState& Final() { return m_final; }

  ResultCode Result() const { return m_result; }
  void SetResult(ResultCode code) { m_result = code; }
  bool HasFailed() const { return m_result != 0; }

  std::uint32_t RetryLimit() const { return m_retryLimit; }
  void SetRetryLimit(std::uint32_t limit) { m_retryLimit = limit; }
  std::uint32_t WorkingConnectionState() const { return m_connectionState; }
  void SetWorkingConnectionState(std::uint32_t state) { m_connectionState = state; }
  const std::string& Terminators() const { return m_terminators; }
  void SetTerminators(std::string terminators) { m_terminators = std::move(terminators); }
  const std::string& ResponseBuffer() const { return m_response; }
  std::uint32_t SendTime() const { return m_sendTime; }
  std::uint32_t MillisecondsSinceSend() const { return m_owner.GetHost().TickCount() - m_sendTime; }
  std::uint32_t SavedSpeed() const { return m_savedSpeed; }
  void SetSavedSpeed(std::uint32_t speed) { m_savedSpeed = speed; }

  // The final state's Execute: each machine's completion action.
  virtual void Complete() {}
  // How many times this machine has reported its end: tells its own completion notice from
  // another machine's.
  std::uint32_t Completions() const { return m_completions; }

 protected:
  // The two recurring completion actions.
  void NotifyCompletion() { NotifyCompletion(m_result); }
  void NotifyCompletion(ResultCode result);
  void PublishConnectionState();

  AppState& m_owner;

 private:
  unsigned m_timerId;
  std::uint32_t m_retryLimit = kDefaultRetryLimit;
  std::uint32_t m_connectionState = 0;
  std::string m_response;
  std::string m_terminators;
  FinalState m_final;
  ResultCode m_result = 0;
  std::uint32_t m_completions = 0;
  std::uint32_t m_sendTime = 0;
  CState* m_current;
  std::uint32_t m_savedSpeed = 0;
  std::function<void(const std::string&)> m_traceHook;
};

}  // namespace tola
