#pragma once
// The amplifier's command language: value parsers, the commands of the polling cycle as data, and
// the query and set-capable states built from them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/VersionLines.h"
#include "dialogue/CStateMachine.h"

namespace tola {

// --- Value parsers; each takes the response text after the prefix.

// Blanks skipped, an optional sign, decimal digits up to the first non-digit; no digits give 0.
std::int32_t ParseNumber(std::string_view value);
// "0" or "1" as the first character.
std::optional<std::uint32_t> ParseFlag(std::string_view value);
// The first character, whatever it is (the ";" when there is no value).
char ParseCharacter(std::string_view value);
// White space trimmed, then two hexadecimal digits; anything else leaves last error 0xE200000B.
std::optional<std::uint8_t> ParseHexValue(std::string_view value);
// White space trimmed, then every ";" at both ends removed; empty is refused.
std::optional<std::string> ParseText(std::string_view value);
// "^RV" then "dd.dd;" gives the four digits as one number; nullopt when malformed.
std::optional<std::uint16_t> ParseRevision(std::string_view response);

// True when `response` begins with `prefix`, compared case-sensitively.
bool HasPrefix(std::string_view response, std::string_view prefix);


// --- The commands of the polling cycle.

enum class ValueKind {
  Number16,  // at most 65535; a negative number is kept as its low 16 bits
  Band,      // below 11
  Antenna,   // low 8 bits 1 or 2
  Flag,
  Character,
  HexByte,
  Text,
};

enum class OnTimeout { Fail, GoOn };

enum class OperateItem {
  TunerInstalled,
  Operate,
  Attenuator,
  Band,
  DrainCurrent,
  PowerDissipated,
  PowerForward,
  PowerInput,
  PowerReflected,
  SupplyVoltage,
  Frequency,
  Swr,
  Fault,
  Temperature,
  TransceiverPoll,
  Antenna,
  Bypass,
  Capacitor,
  Inductor,
  Mode,
  Side,
  TuneStatus,
};

struct CommandSpec {
  OperateItem item;
  const char* stateName;
  const char* query;
  const char* setForm;  // nullptr when the value cannot be set
  const char* prefix;
  ValueKind kind;
  OnTimeout onTimeout;
  ResultCode failureCode;
};

inline constexpr std::uint32_t kQueryTimeoutMs = 500;
inline constexpr std::uint32_t kSetTimeoutMs = 10;

const CommandSpec& CommandFor(OperateItem item);

// A change the operator asked for, waiting for its turn in the cycle. A later request for the same
// item overwrites the value; only the state that sends it clears the flag.
struct SetRequest {
  bool pending = false;
  std::uint32_t value = 0;
};

// The set command of `command` with `value` filled in ("^at1;", "^crA5;", "^mdM;", "^flc;").
std::string FormatSetCommand(const CommandSpec& command, std::uint32_t value);

// Parses the value after the prefix and, when valid, stores it in its AppState value and notifies.
bool StoreValue(AppState& app, const CommandSpec& command, std::string_view value);

// A query state of the polling cycle, and when the item can be set, its set-capable form: with a
// pending request it sends the set command once (10 ms, no answer expected) and goes on. A request
// made while the state waits for its query's answer waits for the next cycle; it is never dropped
// unsent.
class ValueQueryState : public QueryState {
 public:
  ValueQueryState(CStateMachine& machine, const CommandSpec& command, CState* next, SetRequest* request = nullptr);

  void Enter() override;
  bool Accept(const std::string& response) override;
  void OnTimeout() override;

  const CommandSpec& Entry() const { return m_entry; }

 private:
  const CommandSpec& m_entry;
  SetRequest* m_request;
  bool m_sentSet = false;
  std::uint32_t m_sentValue = 0;
};

}  // namespace tola
