#include "operations/ConfigCommandMachine.h"


#include "dialogue/CommandProtocol.h"
#include "platform/Text.h"

namespace tola {

namespace {

constexpr std::uint32_t kUnansweredCommandMs = 10;
constexpr const char* kAntennaEnableQuery = "^aea;";
constexpr std::string_view kAntennaEnablePrefix = "^AEA";

}  // namespace

unsigned EraseBandCode(unsigned bandIndex) { return bandIndex == kBandIndexAll ? kEraseCodeAll : bandIndex; }

std::string FormatEraseMemoryCommand(unsigned bandIndex, unsigned antenna) {
  return FormatText("^em%02u%01u;", EraseBandCode(bandIndex), antenna);
}

bool IsValidAntennaEnable(std::string_view text) {
  if (text.size() != kAntennaEnableLength) return false;
  for (char c : text) {
    if (c < '1' || c > '3') return false;
  }
  return true;
}

std::optional<std::string> ParseAntennaEnable(std::string_view response) {
  // Prefix, eleven digits and at least the terminator.
  if (!HasPrefix(response, kAntennaEnablePrefix) || response.size() < kAntennaEnablePrefix.size() + 12) {
    return std::nullopt;
  }
  const std::string_view digits = response.substr(kAntennaEnablePrefix.size(), kAntennaEnableLength);
  if (!IsValidAntennaEnable(digits)) return std::nullopt;
  return std::string(digits);
}

// --- States

ConfigCommandMachine::EraseMemoryState::EraseMemoryState(CStateMachine& machine, CState* next)
    : CommandState(machine, "CEraseMemoryState", next, kUnansweredCommandMs) {}

void ConfigCommandMachine::EraseMemoryState::Enter() {
  const AppState& app = m_machine.Owner();
  m_command = FormatEraseMemoryCommand(app.bandIndex.Get(), app.antenna.Get());
}

ConfigCommandMachine::QueryAntennaEnableState::QueryAntennaEnableState(CStateMachine& machine, CState* next)
    : QueryState(machine, "QueryAntennaEnableState", next, kQueryTimeoutMs, kAntennaEnableQuery,
                 kNoResponseAntennaEnable) {}

void ConfigCommandMachine::QueryAntennaEnableState::Enter() {
  m_retries = 0;
  QueryState::Enter();
}

bool ConfigCommandMachine::QueryAntennaEnableState::Accept(const std::string& response) {
  // Any complete answer ends the query; only a readable one replaces what the page shows.
  if (auto parsed = ParseAntennaEnable(response)) m_machine.Owner().antennaEnable.Change(std::move(*parsed));
  return true;
}

ConfigCommandMachine::SetAntennaEnableState::SetAntennaEnableState(ConfigCommandMachine& machine, CState* next)
    : QueryState(machine, "SetAntennaEnableState", next, kUnansweredCommandMs, std::string(),
                 kNoResponseAntennaEnable),
      m_owner(machine) {}

void ConfigCommandMachine::SetAntennaEnableState::UseSetCommand() {
  m_command = "^AEA" + m_owner.DesiredAntennaEnable() + ";";
  m_timeoutMs = kUnansweredCommandMs;
  m_readingBack = false;
}

void ConfigCommandMachine::SetAntennaEnableState::Enter() {
  m_retries = 0;
  QueryState::Enter();
  UseSetCommand();
}

void ConfigCommandMachine::SetAntennaEnableState::OnTimeout() {
  // After the set (no answer expected) and after an unanswered read-back alike: ask again. Both
  // count, so the set and its read-back are tried a bounded number of times.
  m_command = kAntennaEnableQuery;
  m_timeoutMs = kQueryTimeoutMs;
  m_readingBack = true;
  RetryOrFail(m_retries);
}

bool ConfigCommandMachine::SetAntennaEnableState::Accept(const std::string& response) {
  // Only an answer to the query is a read-back. Anything arriving in the set's short wait (an
  // amplifier that answers the set itself) is left to that wait's time-out: sending the set again
  // from here would never let the wait end, and the tries would never be counted.
  if (!m_readingBack) return false;
  const auto readBack = ParseAntennaEnable(response);
  if (readBack && EqualNoCase(*readBack, m_owner.DesiredAntennaEnable())) {
    m_machine.Owner().antennaEnable.Change(*readBack);
    return true;
  }
  // The amplifier holds something else: send the set again; its time-out asks again.
  UseSetCommand();
  Send();
  return false;
}

// --- The machine

ConfigCommandMachine::ConfigCommandMachine(AppState& app)
    : CStateMachine(app, kTimerConfigCommand),
      m_eraseConfiguration(*this, "EraseConfigurationState", &Final(), kUnansweredCommandMs, "^ec;"),
      m_eraseMemory(*this, &Final()),
      m_queryAntennaEnable(*this, &Final()),
      m_setAntennaEnable(*this, &Final()) {}

bool ConfigCommandMachine::StartEraseConfiguration() { return StartIfIdle(m_eraseConfiguration); }

bool ConfigCommandMachine::StartEraseMemory() {
  // A band the erase command has no code for, or an antenna other than 1 and 2, never goes out.
  if (m_owner.bandIndex.Get() > kBandIndexAll) return false;
  const std::uint32_t antenna = m_owner.antenna.Get();
  if (antenna != 1 && antenna != 2) return false;
  return StartIfIdle(m_eraseMemory);
}

bool ConfigCommandMachine::StartQueryAntennaEnable() { return StartIfIdle(m_queryAntennaEnable); }

bool ConfigCommandMachine::StartSetAntennaEnable(const std::string& desired) {
  if (!IsIdle() || !IsValidAntennaEnable(desired)) return false;
  m_desired = desired;
  return StartIfIdle(m_setAntennaEnable);
}

}  // namespace tola
