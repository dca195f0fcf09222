#pragma once
// The live picture of the amplifier and its tuner: one cycle of short commands, from the speed
// check and identification through every operate value to an optional full tune. Changes the
// operator asks for wait as requests; the state that queries the same value sends the set form
// instead when its turn comes.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "dialogue/CommandProtocol.h"
#include "dialogue/ConnectionMachine.h"
#include "dialogue/SpeedStates.h"

namespace tola {

class OperateMachine : public CStateMachine {
 public:
  explicit OperateMachine(AppState& app);

  // Starts a cycle only when the previous one has ended.
  bool StartCycle();

  // Requests: each stores the value and marks it pending; nothing is sent here. A later request
  // for the same item replaces the value.
  void RequestAntenna(std::uint32_t antenna);       // 1 or 2
  void RequestAttenuator(std::uint32_t on);         // 0 or 1
  void RequestAtuBypass(char bypass);               // 'B' or 'N'
  void RequestCapacitor(std::uint8_t relays);
  void RequestInductor(std::uint8_t relays);
  void RequestMode(char mode);                      // 'A', 'M' or 'B'
  void RequestOperate(std::uint32_t operate);       // 1 operate, 0 standby
  void RequestSide(char side);                      // 'T' or 'A'
  void RequestClearFault();
  void RequestTune();

  // The pending request of a settable item (for the view and tests); Tune has its own.
  const SetRequest& Request(OperateItem item) const;
  const SetRequest& TuneRequest() const { return m_tune; }

  // Publishes the device state found (the cycle's own variant) and reports the cycle's result.
  void Complete() override;

  // The cycle in order, first state first.
  const std::vector<const CState*>& Cycle() const { return m_cycle; }

 private:
  class StartFullTuneState : public CommandState {
   public:
    StartFullTuneState(CStateMachine& machine, CState* next, SetRequest& tune);
    void Enter() override;

   private:
    SetRequest& m_tune;
  };

  SetRequest& RequestFor(OperateItem item);
  ValueQueryState& Add(OperateItem item, CState* next);

  std::array<SetRequest, 22> m_requests{};  // indexed by OperateItem
  SetRequest m_tune;
  // Built from the end of the cycle backwards, so that every state's successor exists.
  StartFullTuneState m_startFullTune;
  std::vector<std::unique_ptr<ValueQueryState>> m_values;
  QueryRevisionState m_queryRevision;
  QueryIState m_queryI;
  OperateDetermineSpeedState m_determineSpeed;
  std::vector<const CState*> m_cycle;
};

}  // namespace tola
