#pragma once
// The states of a dialogue. A state usually sends one command and waits; a complete response or the
// machine's timer then decides where the machine goes next. Derived states override single
// operations; transitions happen only through GoToNext, GoToFinal and Fail (and a machine's Start).

#include <cstdint>
#include <string>

#include "platform/ResultCode.h"

namespace tola {

class CStateMachine;

class CState {
 public:
  CState(CStateMachine& machine, std::string name, CState* next = nullptr)
      : m_machine(machine), m_name(std::move(name)), m_next(next) {}
  virtual ~CState() = default;
  CState(const CState&) = delete;
  CState& operator=(const CState&) = delete;

  virtual const std::string& Name() const { return m_name; }
  // Current state := next; Enter, then Execute of whatever is current then. Nothing without a next.
  virtual void GoToNext();
  virtual void GoToFinal();
  virtual void OnResponse(const std::string& response);
  virtual void Execute();
  virtual void Enter();
  virtual void OnTimeout();
  virtual void LogSend(const std::string& text);
  // Records the code as the machine's result and goes to the final state.
  virtual void Fail(ResultCode code);

  CState* Next() const { return m_next; }
  void SetNext(CState* next) { m_next = next; }
  CStateMachine& Machine() const { return m_machine; }

 protected:
  CStateMachine& m_machine;

 private:
  std::string m_name;
  CState* m_next;
};

// Sends its command and waits for the time-out; without a command it passes straight on.
class CommandState : public CState {
 public:
  CommandState(CStateMachine& machine, std::string name, CState* next, std::uint32_t timeoutMs,
               std::string command = {}, ResultCode failureCode = 0)
      : CState(machine, std::move(name), next), m_timeoutMs(timeoutMs), m_command(std::move(command)),
        m_failureCode(failureCode) {}

  void Execute() override;
  void OnTimeout() override;
  void LogSend(const std::string& text) override;
  // Refuses once the machine has failed or was cancelled, going to the final state instead.
  virtual void Send();

  std::uint32_t TimeoutMs() const { return m_timeoutMs; }
  void SetTimeoutMs(std::uint32_t ms) { m_timeoutMs = ms; }
  const std::string& Command() const { return m_command; }
  void SetCommand(std::string command) { m_command = std::move(command); }
  ResultCode FailureCode() const { return m_failureCode; }

 protected:
  // The two recurring time-out patterns besides passing on.
  void FailAtOnce() { Fail(m_failureCode); }
  // Sends again until the machine's retry limit, then fails. `retries` is the state's own count,
  // reset by its Enter.
  void RetryOrFail(std::uint32_t& retries);

  std::uint32_t m_timeoutMs;
  std::string m_command;
  ResultCode m_failureCode;
};

// A command state that also takes responses: an accepted one stops the timer and moves on; anything
// else is dropped and the wait goes on.
class QueryState : public CommandState {
 public:
  using CommandState::CommandState;

  void OnResponse(const std::string& response) override;
  void Enter() override;
  virtual void OnAccepted(const std::string& response);
  virtual std::string Terminators() const { return ";"; }
  virtual void Proceed();
  virtual bool Accept(const std::string& response);
};

// A state whose Execute runs a given action; for small states and the final state.
class FinalState : public CState {
 public:
  explicit FinalState(CStateMachine& machine) : CState(machine, "FinalState", nullptr) {}
  void Execute() override;
};

}  // namespace tola
