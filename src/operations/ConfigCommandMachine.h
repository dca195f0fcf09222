#pragma once
// Single-command changes of the amplifier's configuration: the factory reset, erasing the antenna
// tuner's stored matches for a band and antenna, and reading and setting which antenna outputs
// each band may use. One machine with one state per operation.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dialogue/CStateMachine.h"

namespace tola {

inline constexpr unsigned kBandCount = 11;      // 160 m to 6 m
inline constexpr unsigned kBandIndexAll = 11;   // the erase dialog's "All"
inline constexpr unsigned kEraseCodeAll = 15;   // how "All" travels in the erase command
inline constexpr std::size_t kAntennaEnableLength = 11;

// The band names as the buttons and the Operate page show them, 160 m first.
inline constexpr std::array<const char*, kBandCount> kBandNames{"160", "80", "60", "40", "30", "20",
                                                                "17",  "15", "12", "10", "6"};

// The band code of the erase command for a band index (0 to 10, or 11 for all bands).
unsigned EraseBandCode(unsigned bandIndex);
// "^em%02u%01u;" for a band index and an antenna.
std::string FormatEraseMemoryCommand(unsigned bandIndex, unsigned antenna);
// The eleven digits of an antenna-enable answer ("^AEA" + at least 11 characters + more), each
// "1", "2" or "3"; nothing for anything else.
std::optional<std::string> ParseAntennaEnable(std::string_view response);
// True for exactly eleven characters, each "1", "2" or "3".
bool IsValidAntennaEnable(std::string_view text);

class ConfigCommandMachine : public CStateMachine {
 public:
  explicit ConfigCommandMachine(AppState& app);

  // Each returns false and does nothing while an operation runs.
  bool StartEraseConfiguration();
  // Band and antenna come from AppState's current band index and antenna when the command is built.
  bool StartEraseMemory();
  bool StartQueryAntennaEnable();
  // Also refuses a string that is not eleven digits "1" to "3": the amplifier must never be sent
  // an enable string that leaves a band without an antenna.
  bool StartSetAntennaEnable(const std::string& desired);

  const std::string& DesiredAntennaEnable() const { return m_desired; }

  void Complete() override { NotifyCompletion(); }

 private:
  class EraseMemoryState : public CommandState {
   public:
    EraseMemoryState(CStateMachine& machine, CState* next);
    void Enter() override;
  };

  class QueryAntennaEnableState : public QueryState {
   public:
    QueryAntennaEnableState(CStateMachine& machine, CState* next);
    void Enter() override;
    bool Accept(const std::string& response) override;
    void OnTimeout() override { RetryOrFail(m_retries); }

   private:
    std::uint32_t m_retries = 0;
  };

  class SetAntennaEnableState : public QueryState {
   public:
    SetAntennaEnableState(ConfigCommandMachine& machine, CState* next);
    void Enter() override;
    bool Accept(const std::string& response) override;
    void OnTimeout() override;

   private:
    void UseSetCommand();
    ConfigCommandMachine& m_owner;
    std::uint32_t m_retries = 0;
    bool m_readingBack = false;  // the query is out, not the set
  };

  std::string m_desired;
  CommandState m_eraseConfiguration;
  EraseMemoryState m_eraseMemory;
  QueryAntennaEnableState m_queryAntennaEnable;
  SetAntennaEnableState m_setAntennaEnable;
};

}  // namespace tola
