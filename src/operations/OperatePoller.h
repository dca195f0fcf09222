#pragma once
// The Operate page without its widgets: it owns the polling machine while the page shows, runs
// the poll timer that starts a cycle whenever the last one has ended, turns the operator's changes
// into requests, counts failed cycles, and says how each value is shown.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "operations/OperateMachine.h"
#include "operations/OperationSlot.h"

namespace tola {

// --- How the page shows the values.

// "%u.%01u" of value / 10 (powers, current, temperature, SWR).
std::string TenthsText(std::uint16_t value);
// Millivolts rounded to tenths of a volt: (value + 50) / 100 shown as tenths.
std::string SupplyVoltageText(std::uint16_t value);
// "160" ... "6" for 0 to 10; empty for anything larger.
std::string BandText(std::uint32_t bandIndex);
// The fault name of the fault table; empty before the amplifier has reported one.
std::string FaultText(char code);

// --- Tuner relays (bit 0 first).

inline constexpr std::array<std::uint32_t, 8> kCapacitorWeightsPf{10, 22, 40, 82, 150, 300, 660, 1360};
inline constexpr std::array<std::uint32_t, 8> kInductorWeightsNh{50, 110, 230, 480, 1000, 2100, 4400, 9000};
inline constexpr std::uint32_t kMaxCapacitancePf = 2624;
inline constexpr std::uint32_t kMaxInductanceNh = 17370;

using RelayWeights = std::array<std::uint32_t, 8>;

// The sum of the weights of the set bits.
std::uint32_t RelayValue(std::uint8_t relays, const RelayWeights& weights);
// The largest weights first, each taken while it fits: 1000 pF gives 660 + 300 + 40 (0x64).
std::uint8_t RelaysFor(std::uint32_t value, const RelayWeights& weights);
// The spinner: the next value up or down that the relays can make.
std::uint32_t RelayStep(std::uint32_t value, const RelayWeights& weights, bool up);

// --- Operator changes by name (the command line's `set`).

enum class OperateControl { Attenuator, Operate, Antenna, Mode, Bypass, Side, Capacitor, Inductor, ClearFault, Tune };

struct OperateChange {
  OperateControl control;
  std::uint32_t value = 0;  // as the request takes it: 0/1, 1/2, a character, a relay byte
};

// "attenuator", "operate", "antenna", "mode", "bypass", "side", "capacitor", "inductor",
// "clear-fault", "tune".
std::optional<OperateControl> ParseOperateControl(std::string_view name);
const char* OperateControlName(OperateControl control);
// Whether the control takes a value.
bool TakesValue(OperateControl control);
// Reads the value as the operator writes it (for example "on", "standby", "manual", "1000" pF);
// false with a message for anything the control cannot take.
bool ParseOperateValue(OperateControl control, std::string_view text, std::uint32_t& value, std::string& error);
// What a control reads back as after a cycle, in the same terms as ParseOperateValue takes.
std::string OperateValueText(const AppState& app, OperateControl control);
// Whether the values last reported show the change made (always true for "clear-fault" and "tune").
bool ReportedValueMatches(const AppState& app, const OperateChange& change);

class OperatePoller : public Listener {
 public:
  static constexpr unsigned kPollTimerId = kTimerOperatePage;

  explicit OperatePoller(AppState& app);
  ~OperatePoller() override;
  OperatePoller(const OperatePoller&) = delete;
  OperatePoller& operator=(const OperatePoller&) = delete;

  // Called after every cycle with its result (0 or the code it failed with).
  std::function<void(ResultCode)> onCycleFinished;

  // The page becomes visible: listens, builds the machine (false when AppState keeps a running
  // operation machine) and starts a cycle at once.
  bool Show();
  // The page is hidden: the poll timer stops and the machine goes, pending requests with it.
  void Hide();
  bool Showing() const { return m_showing; }
  OperateMachine* Machine() const { return m_slot.Get(); }

  // The page's poll timer; the front end hands every expiry of kPollTimerId here. True when taken.
  bool OnTimer(unsigned timerId);
  // Restarts the poll timer and starts a cycle if none runs ("start at once").
  void PollNow();

  // An operator change as the page's controls make it: the settings start a cycle at once (or, while
  // one runs, as soon as it has ended), "Clear" and "TUNE" wait for the next tick, relay changes
  // start at once only from the check boxes.
  bool Change(const OperateChange& change, bool startNow = true);
  // A number typed into (or spun in) the capacitance or inductance box: requested only when its
  // relays differ from those last reported; never starts a cycle.
  void EnterCapacitance(std::uint32_t pF);
  void EnterInductance(std::uint32_t nH);

  // Every control is usable only while the amplifier's firmware answers.
  bool ControlsEnabled() const { return m_app.ConnectionState() == kConnectionFirmware; }

  void OnNotify(std::uint32_t id, std::uint32_t wParam) override;

 private:
  AppState& m_app;
  OperationSlot<OperateMachine> m_slot;
  bool m_showing = false;
  bool m_startWhenCycleEnds = false;
};

}  // namespace tola
