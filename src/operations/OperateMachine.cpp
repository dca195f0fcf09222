#include "operations/OperateMachine.h"

namespace tola {

namespace {

using I = OperateItem;

// Steps 4 to 25 of the cycle, in the order they run.
constexpr std::array<OperateItem, 22> kValueSteps{
    I::TunerInstalled, I::Operate,       I::Attenuator,    I::Band,        I::DrainCurrent, I::PowerDissipated,
    I::PowerForward,   I::PowerInput,    I::PowerReflected, I::SupplyVoltage, I::Frequency, I::TransceiverPoll,
    I::Swr,            I::TuneStatus,    I::Fault,         I::Temperature, I::Antenna,      I::Bypass,
    I::Capacitor,      I::Inductor,      I::Mode,          I::Side,
};

constexpr std::uint32_t kTuneWaitMs = 10;

}  // namespace

OperateMachine::StartFullTuneState::StartFullTuneState(CStateMachine& machine, CState* next, SetRequest& tune)
    : CommandState(machine, "StartFullTuneState", next, kTuneWaitMs), m_tune(tune) {}

void OperateMachine::StartFullTuneState::Enter() {
  // Without a request the command stays empty and the state passes straight on.
  if (m_tune.pending) {
    m_tune.pending = false;
    m_command = "^ft;";
  } else {
    m_command.clear();
  }
}

OperateMachine::OperateMachine(AppState& app)
    : CStateMachine(app, kTimerOperate),
      m_startFullTune(*this, &Final(), m_tune),
      m_queryRevision(*this, nullptr, /*retry*/ false, "OperateQueryRevisionState"),
      m_queryI(*this, &Final(), &m_queryRevision),
      m_determineSpeed(*this, &m_queryI) {
  CState* next = &m_startFullTune;
  for (auto it = kValueSteps.rbegin(); it != kValueSteps.rend(); ++it) next = &Add(*it, next);
  m_queryRevision.SetNext(next);

  m_cycle = {&m_determineSpeed, &m_queryI, &m_queryRevision};
  for (auto it = m_values.rbegin(); it != m_values.rend(); ++it) m_cycle.push_back(it->get());
  m_cycle.push_back(&m_startFullTune);
}

ValueQueryState& OperateMachine::Add(OperateItem item, CState* next) {
  m_values.push_back(std::make_unique<ValueQueryState>(*this, CommandFor(item), next, &RequestFor(item)));
  return *m_values.back();
}

SetRequest& OperateMachine::RequestFor(OperateItem item) { return m_requests.at(static_cast<std::size_t>(item)); }

const SetRequest& OperateMachine::Request(OperateItem item) const {
  return m_requests.at(static_cast<std::size_t>(item));
}

bool OperateMachine::StartCycle() { return StartIfIdle(m_determineSpeed); }

namespace {

void Set(SetRequest& request, std::uint32_t value) {
  request.value = value;
  request.pending = true;
}

}  // namespace

void OperateMachine::RequestAntenna(std::uint32_t antenna) { Set(RequestFor(I::Antenna), antenna); }
void OperateMachine::RequestAttenuator(std::uint32_t on) { Set(RequestFor(I::Attenuator), on); }
void OperateMachine::RequestAtuBypass(char bypass) {
  Set(RequestFor(I::Bypass), static_cast<unsigned char>(bypass));
}
void OperateMachine::RequestCapacitor(std::uint8_t relays) { Set(RequestFor(I::Capacitor), relays); }
void OperateMachine::RequestInductor(std::uint8_t relays) { Set(RequestFor(I::Inductor), relays); }
void OperateMachine::RequestMode(char mode) { Set(RequestFor(I::Mode), static_cast<unsigned char>(mode)); }
void OperateMachine::RequestOperate(std::uint32_t operate) { Set(RequestFor(I::Operate), operate); }
void OperateMachine::RequestSide(char side) { Set(RequestFor(I::Side), static_cast<unsigned char>(side)); }
void OperateMachine::RequestClearFault() { Set(RequestFor(I::Fault), 0); }
void OperateMachine::RequestTune() { Set(m_tune, 1); }

void OperateMachine::Complete() {
  // Taken first: publishing the connection state may start the next cycle from inside this call,
  // and that start clears the result.
  const ResultCode result = Result();
  if (HasFailed()) SetWorkingConnectionState(kConnectionNone);
  const std::uint32_t deviceState = WorkingConnectionState();
  if (deviceState != m_owner.ConnectionState()) {
    if (deviceState == kConnectionLoader) {
      m_owner.SetPortSpeed(38400);
      m_owner.portSpeed.Notify();
    }
    m_owner.SetConnectionState(deviceState);
  }
  NotifyCompletion(result);
}

}  // namespace tola
