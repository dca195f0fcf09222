#include "dialogue/CommandProtocol.h"

#include <array>
#include <cctype>

#include "formats/EepromCommands.h"

namespace tola {

std::int32_t ParseNumber(std::string_view value) {
  std::size_t i = 0;
  while (i < value.size() && value[i] == ' ') ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == '-' || value[i] == '+')) {
    negative = value[i] == '-';
    ++i;
  }
  // Accumulated in 32 bits with wrap-around, as the amplifier's own numbers never need more.
  std::uint32_t result = 0;
  while (i < value.size() && value[i] >= '0' && value[i] <= '9') {
    result = result * 10u + static_cast<std::uint32_t>(value[i] - '0');
    ++i;
  }
  if (negative) result = 0u - result;
  return static_cast<std::int32_t>(result);
}

std::optional<std::uint32_t> ParseFlag(std::string_view value) {
  if (value.empty()) return std::nullopt;
  if (value[0] == '0') return 0u;
  if (value[0] == '1') return 1u;
  return std::nullopt;
}

char ParseCharacter(std::string_view value) { return value.empty() ? '\0' : value[0]; }

namespace {

std::string_view TrimSpace(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

}  // namespace

std::optional<std::uint8_t> ParseHexValue(std::string_view value) {
  value = TrimSpace(value);
  if (value.size() < 2) {
    SetLastError(kUnexpectedHexCharacter);
    return std::nullopt;
  }
  std::uint8_t byte = 0;
  if (!ParseHexByte(value[0], value[1], byte)) return std::nullopt;
  return byte;
}

std::optional<std::string> ParseText(std::string_view value) {
  value = TrimSpace(value);
  while (!value.empty() && value.front() == ';') value.remove_prefix(1);
  while (!value.empty() && value.back() == ';') value.remove_suffix(1);
  if (value.empty()) return std::nullopt;
  return std::string(value);
}

bool HasPrefix(std::string_view response, std::string_view prefix) {
  return response.size() >= prefix.size() && response.substr(0, prefix.size()) == prefix;
}

std::optional<std::uint16_t> ParseRevision(std::string_view response) {
  if (!HasPrefix(response, "^RV") || response.size() < 9) return std::nullopt;
  const std::string_view v = response.substr(3, 6);
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (!digit(v[0]) || !digit(v[1]) || v[2] != '.' || !digit(v[3]) || !digit(v[4]) || v[5] != ';') {
    return std::nullopt;
  }
  return static_cast<std::uint16_t>((v[0] - '0') * 1000 + (v[1] - '0') * 100 + (v[3] - '0') * 10 + (v[4] - '0'));
}

namespace {

using K = ValueKind;
using T = OnTimeout;
using I = OperateItem;

// Indexed by OperateItem.
constexpr std::array<CommandSpec, 22> kCommands{{
    {I::TunerInstalled, "QueryTunerInstalledState", "^tu;", nullptr, "^TU", K::Flag, T::Fail, kNoResponseTunerInstalled},
    {I::Operate, "SetQueryOperateState", "^op;", "^op%01u;", "^OP", K::Flag, T::Fail, kNoResponseOperate},
    {I::Attenuator, "SetQueryAttenuatorState", "^at;", "^at%01u;", "^AT", K::Character, T::Fail, kNoResponseAttenuator},
    {I::Band, "QueryBandState", "^bn;", nullptr, "^BN", K::Band, T::Fail, kNoResponseBand},
    {I::DrainCurrent, "QueryDrainCurrentState", "^pc;", nullptr, "^PC", K::Number16, T::Fail, kNoResponseDrainCurrent},
    {I::PowerDissipated, "QueryPowerDissipatedState", "^pd;", nullptr, "^PD", K::Number16, T::Fail, kNoResponsePowerDissipated},
    {I::PowerForward, "QueryPowerForwardState", "^pf;", nullptr, "^PF", K::Number16, T::Fail, kNoResponsePowerForward},
    {I::PowerInput, "QueryPowerInputState", "^pi;", nullptr, "^PI", K::Number16, T::Fail, kNoResponsePowerInput},
    {I::PowerReflected, "QueryPowerReflectedState", "^pv;", nullptr, "^PV", K::Number16, T::Fail, kNoResponsePowerReflected},
    {I::SupplyVoltage, "QuerySupplyVoltageState", "^sv;", nullptr, "^SV", K::Number16, T::Fail, kNoResponseSupplyVoltage},
    {I::Frequency, "QueryFrequencyState", "^f;", nullptr, "^F", K::Number16, T::Fail, kNoResponseFrequency},
    {I::Swr, "CQuerySwrState", "^sw;", nullptr, "^SW", K::Number16, T::Fail, kNoResponseSwr},
    {I::Fault, "ClearQueryFaultState", "^fl;", "^flc;", "^FL", K::Character, T::Fail, kNoResponseFault},
    {I::Temperature, "QueryTemperatureState", "^tm;", nullptr, "^TM", K::Number16, T::Fail, kNoResponseTemperature},
    {I::TransceiverPoll, "QueryTransceiverPollState", "^xp;", nullptr, "^XP", K::Flag, T::GoOn, 0},
    {I::Antenna, "SetQueryAntennaState", "^an;", "^an%01u;", "^AN", K::Antenna, T::Fail, kNoResponseAntenna},
    {I::Bypass, "SetQueryBypassState", "^by;", "^by%c;", "^BY", K::Character, T::Fail, kNoResponseBypass},
    {I::Capacitor, "SetQueryCapacitorState", "^cr;", "^cr%02X;", "^CR", K::HexByte, T::Fail, kNoResponseCapacitor},
    {I::Inductor, "SetQueryInductorState", "^lr;", "^lr%02X;", "^LR", K::HexByte, T::Fail, kNoResponseInductor},
    {I::Mode, "SetQueryModeState", "^md;", "^md%01c;", "^MD", K::Character, T::Fail, kNoResponseMode},
    {I::Side, "SetQuerySideState", "^si;", "^si%01c;", "^SI", K::Character, T::Fail, kNoResponseSide},
    {I::TuneStatus, "QueryTuneStatusState", "^ts;", nullptr, "^TS", K::Text, T::Fail, kNoResponseTuneStatus},
}};

constexpr bool TableInOrder() {
  for (std::size_t i = 0; i < kCommands.size(); ++i) {
    if (static_cast<std::size_t>(kCommands[i].item) != i) return false;
  }
  return true;
}
static_assert(TableInOrder(), "the command table is indexed by OperateItem");

}  // namespace

const CommandSpec& CommandFor(OperateItem item) { return kCommands.at(static_cast<std::size_t>(item)); }

std::string FormatSetCommand(const CommandSpec& command, std::uint32_t value) {
  if (command.setForm == nullptr) return std::string();
  const std::string_view form(command.setForm);
  if (form.find("%c") != std::string_view::npos || form.find("%01c") != std::string_view::npos) {
    return FormatText(form, static_cast<char>(value));
  }
  if (form.find('%') == std::string_view::npos) return std::string(form);
  return FormatText(form, value);
}

bool StoreValue(AppState& app, const CommandSpec& command, std::string_view value) {
  switch (command.kind) {
    case K::Number16:
    case K::Band:
    case K::Antenna: {
      const std::int32_t n = ParseNumber(value);
      if (command.kind == K::Number16) {
        if (n > 65535) return false;
        const auto v16 = static_cast<std::uint16_t>(static_cast<std::uint32_t>(n) & 0xFFFFu);
        NotifyingValue<std::uint16_t>* target = nullptr;
        switch (command.item) {
          case I::DrainCurrent: target = &app.drainCurrent; break;
          case I::PowerDissipated: target = &app.powerDissipated; break;
          case I::PowerForward: target = &app.powerForward; break;
          case I::PowerInput: target = &app.powerInput; break;
          case I::PowerReflected: target = &app.powerReflected; break;
          case I::SupplyVoltage: target = &app.supplyVoltage; break;
          case I::Frequency: target = &app.frequency; break;
          case I::Swr: target = &app.swr; break;
          case I::Temperature: target = &app.temperature; break;
          default: return false;
        }
        target->Change(v16);
        return true;
      }
      if (command.kind == K::Band) {
        // A negative number is refused as well: as an unsigned band it would name no band at all.
        if (n < 0 || n >= 11) return false;
        app.bandIndex.Change(static_cast<std::uint32_t>(n));
        return true;
      }
      const std::uint32_t low = static_cast<std::uint32_t>(n) & 0xFFu;
      if (low != 1 && low != 2) return false;
      app.antenna.Change(low);
      return true;
    }
    case K::Flag: {
      const auto flag = ParseFlag(value);
      if (!flag) return false;
      switch (command.item) {
        case I::TunerInstalled: app.tunerInstalled.Change(*flag); break;
        case I::Operate: app.operate.Change(*flag); break;
        case I::TransceiverPoll: app.transceiverPoll.Change(*flag); break;
        default: return false;
      }
      return true;
    }
    case K::Character: {
      const char c = ParseCharacter(value);
      switch (command.item) {
        case I::Attenuator: app.attenuator.Change(c); break;
        case I::Fault: app.fault.Change(c); break;
        case I::Bypass: app.bypass.Change(c); break;
        case I::Mode: app.mode.Change(c); break;
        case I::Side: app.side.Change(c); break;
        default: return false;
      }
      return true;
    }
    case K::HexByte: {
      const auto byte = ParseHexValue(value);
      if (!byte) return false;
      (command.item == I::Capacitor ? app.capacitor : app.inductor).Change(*byte);
      return true;
    }
    case K::Text: {
      auto text = ParseText(value);
      if (!text) return false;
      app.tuneStatus.Change(std::move(*text));
      return true;
    }
  }
  return false;
}

ValueQueryState::ValueQueryState(CStateMachine& machine, const CommandSpec& command, CState* next, SetRequest* request)
    : QueryState(machine, command.stateName, next, kQueryTimeoutMs, command.query, command.failureCode), m_entry(command),
      m_request(command.setForm ? request : nullptr) {}

void ValueQueryState::Enter() {
  QueryState::Enter();
  m_sentSet = m_request && m_request->pending;
  if (m_sentSet) {
    m_sentValue = m_request->value;
    m_command = FormatSetCommand(m_entry, m_sentValue);
    m_timeoutMs = kSetTimeoutMs;
  } else {
    m_command = m_entry.query;
    m_timeoutMs = kQueryTimeoutMs;
  }
}

bool ValueQueryState::Accept(const std::string& response) {
  if (!HasPrefix(response, m_entry.prefix)) return false;
  return StoreValue(m_machine.Owner(), m_entry,
                    std::string_view(response).substr(std::string_view(m_entry.prefix).size()));
}

void ValueQueryState::OnTimeout() {
  if (m_sentSet) {
    // A value changed again since this send goes out in the next cycle.
    if (m_request->value == m_sentValue) m_request->pending = false;
    GoToNext();
    return;
  }
  if (m_entry.onTimeout == OnTimeout::GoOn) {
    GoToNext();
  } else {
    FailAtOnce();
  }
}

}  // namespace tola
