#include "operations/OperatePoller.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "formats/FaultRecords.h"
#include "operations/ConfigCommandMachine.h"

namespace tola {

// --- Display

std::string TenthsText(std::uint16_t value) { return FormatText("%u.%01u", value / 10u, value % 10u); }

std::string SupplyVoltageText(std::uint16_t value) {
  return TenthsText(static_cast<std::uint16_t>((std::uint32_t{value} + 50u) / 100u));
}

std::string BandText(std::uint32_t bandIndex) { return bandIndex < kBandCount ? kBandNames[bandIndex] : ""; }

std::string FaultText(char code) { return code == '\0' ? std::string() : FaultName(code); }

// --- Relays

std::uint32_t RelayValue(std::uint8_t relays, const RelayWeights& weights) {
  std::uint32_t total = 0;
  for (unsigned bit = 0; bit < weights.size(); ++bit) {
    if ((relays >> bit) & 1u) total += weights[bit];
  }
  return total;
}

std::uint8_t RelaysFor(std::uint32_t value, const RelayWeights& weights) {
  unsigned relays = 0;
  for (unsigned bit = static_cast<unsigned>(weights.size()); bit-- > 0;) {
    if (value >= weights[bit]) {
      relays |= 1u << bit;
      value -= weights[bit];
    }
  }
  return static_cast<std::uint8_t>(relays);
}

std::uint32_t RelayStep(std::uint32_t value, const RelayWeights& weights, bool up) {
  unsigned relays = RelaysFor(value, weights);
  if (up) {
    while (relays < 255) {
      const std::uint32_t next = RelayValue(static_cast<std::uint8_t>(++relays), weights);
      if (next > value) return next;
    }
  } else {
    while (relays > 0) {
      const std::uint32_t next = RelayValue(static_cast<std::uint8_t>(--relays), weights);
      if (next < value) return next;
    }
  }
  return value;
}

// --- Changes by name

namespace {

using C = OperateControl;

struct ControlName {
  OperateControl control;
  const char* name;
};

constexpr ControlName kControlNames[] = {
    {C::Attenuator, "attenuator"}, {C::Operate, "operate"},     {C::Antenna, "antenna"},
    {C::Mode, "mode"},             {C::Bypass, "bypass"},       {C::Side, "side"},
    {C::Capacitor, "capacitor"},   {C::Inductor, "inductor"},   {C::ClearFault, "clear-fault"},
    {C::Tune, "tune"},
};

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
  return out;
}

struct Word {
  const char* text;
  std::uint32_t value;
};

bool FromWords(std::initializer_list<Word> words, const std::string& text, std::uint32_t& value) {
  for (const Word& w : words) {
    if (text == w.text) {
      value = w.value;
      return true;
    }
  }
  return false;
}

bool ParseWhole(std::string_view text, int base, std::uint32_t& value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
  return ec == std::errc() && ptr == end;
}

// A relay value: the total in pF or nH as the page's box takes it, or the relay byte as "0xHH".
bool ParseRelays(const std::string& text, const RelayWeights& weights, std::uint32_t max, const char* unit,
                 std::uint32_t& value, std::string& error) {
  std::uint32_t number = 0;
  if (text.rfind("0x", 0) == 0) {
    if (!ParseWhole(std::string_view(text).substr(2), 16, number) || number > 0xFF) {
      error = "a relay byte is 0x00 to 0xFF";
      return false;
    }
    value = number;
    return true;
  }
  if (!ParseWhole(text, 10, number) || number > max) {
    error = FormatText("give %u to %u %s, or the relay byte as 0x00 to 0xFF", 0u, max, unit);
    return false;
  }
  value = RelaysFor(number, weights);
  return true;
}

}  // namespace

std::optional<OperateControl> ParseOperateControl(std::string_view name) {
  const std::string lower = Lower(name);
  for (const ControlName& c : kControlNames) {
    if (lower == c.name) return c.control;
  }
  return std::nullopt;
}

const char* OperateControlName(OperateControl control) {
  for (const ControlName& c : kControlNames) {
    if (c.control == control) return c.name;
  }
  return "";
}

bool TakesValue(OperateControl control) { return control != C::ClearFault && control != C::Tune; }

bool ParseOperateValue(OperateControl control, std::string_view text, std::uint32_t& value, std::string& error) {
  const std::string word = Lower(text);
  bool ok = false;
  switch (control) {
    case C::Attenuator:
      ok = FromWords({{"on", 1}, {"1", 1}, {"off", 0}, {"0", 0}}, word, value);
      if (!ok) error = "the attenuator is on or off (1 or 0)";
      return ok;
    case C::Operate:
      ok = FromWords({{"operate", 1}, {"1", 1}, {"standby", 0}, {"0", 0}}, word, value);
      if (!ok) error = "operate is operate or standby (1 or 0)";
      return ok;
    case C::Antenna:
      ok = FromWords({{"1", 1}, {"2", 2}}, word, value);
      if (!ok) error = "the antenna is 1 or 2";
      return ok;
    case C::Mode:
      ok = FromWords({{"auto", 'A'}, {"a", 'A'}, {"manual", 'M'}, {"m", 'M'}, {"bypass", 'B'}, {"b", 'B'}}, word,
                     value);
      if (!ok) error = "the tuner mode is auto, manual or bypass (A, M or B)";
      return ok;
    case C::Bypass:
      ok = FromWords({{"on", 'B'}, {"b", 'B'}, {"off", 'N'}, {"n", 'N'}}, word, value);
      if (!ok) error = "the ATU bypass is on or off (B or N)";
      return ok;
    case C::Side:
      ok = FromWords({{"tx", 'T'}, {"t", 'T'}, {"ant", 'A'}, {"a", 'A'}}, word, value);
      if (!ok) error = "the capacitor side is tx or ant (T or A)";
      return ok;
    case C::Capacitor: return ParseRelays(word, kCapacitorWeightsPf, kMaxCapacitancePf, "pF", value, error);
    case C::Inductor: return ParseRelays(word, kInductorWeightsNh, kMaxInductanceNh, "nH", value, error);
    case C::ClearFault:
    case C::Tune:
      value = 0;
      if (!text.empty()) {
        error = std::string(OperateControlName(control)) + " takes no value";
        return false;
      }
      return true;
  }
  return false;
}

std::string OperateValueText(const AppState& app, OperateControl control) {
  switch (control) {
    case C::Attenuator:
      switch (app.attenuator.Get()) {
        case '0': return "off";
        case '1': return "on";
        case '2': return "on (fixed)";
        default: return std::string(1, app.attenuator.Get());
      }
    case C::Operate: return app.operate.Get() == 1 ? "operate" : "standby";
    case C::Antenna: return FormatText("%u", app.antenna.Get());
    case C::Mode:
      switch (app.mode.Get()) {
        case 'A': return "auto";
        case 'M': return "manual";
        case 'B': return "bypass";
        default: return std::string(1, app.mode.Get());
      }
    case C::Bypass: return app.bypass.Get() == 'B' ? "on" : "off";
    case C::Side: return app.side.Get() == 'T' ? "tx" : "ant";
    case C::Capacitor:
      return FormatText("%u pF (relays 0x%02X)", RelayValue(app.capacitor.Get(), kCapacitorWeightsPf),
                        unsigned{app.capacitor.Get()});
    case C::Inductor:
      return FormatText("%u nH (relays 0x%02X)", RelayValue(app.inductor.Get(), kInductorWeightsNh),
                        unsigned{app.inductor.Get()});
    case C::ClearFault: return FaultText(app.fault.Get());
    case C::Tune: return app.tuneStatus.Get();
  }
  return std::string();
}

bool ReportedValueMatches(const AppState& app, const OperateChange& change) {
  const std::uint32_t v = change.value;
  switch (change.control) {
    case C::Attenuator: return app.attenuator.Get() == static_cast<char>('0' + v);
    case C::Operate: return app.operate.Get() == v;
    case C::Antenna: return app.antenna.Get() == v;
    case C::Mode: return static_cast<unsigned char>(app.mode.Get()) == v;
    case C::Bypass: return static_cast<unsigned char>(app.bypass.Get()) == v;
    case C::Side: return static_cast<unsigned char>(app.side.Get()) == v;
    case C::Capacitor: return app.capacitor.Get() == v;
    case C::Inductor: return app.inductor.Get() == v;
    case C::ClearFault:
    case C::Tune: return true;
  }
  return false;
}

// --- The page

OperatePoller::OperatePoller(AppState& app) : m_app(app), m_slot(app) {
  m_slot.onFinished = [this](ResultCode result) {
    if ((result & 0x80000000u) != 0) m_app.failedCycles.Change(m_app.failedCycles.Get() + 1);
    if (onCycleFinished) onCycleFinished(result);
    // A change made while this cycle ran, possibly after its own step, goes out now rather than a
    // whole poll interval later.
    if (m_startWhenCycleEnds) {
      m_startWhenCycleEnds = false;
      PollNow();
    }
  };
}

OperatePoller::~OperatePoller() { Hide(); }

bool OperatePoller::Show() {
  if (m_showing) return Machine() != nullptr;
  m_showing = true;
  m_app.ConnectionStateValue().AddListener(this);
  m_slot.Install();
  PollNow();
  return Machine() != nullptr;
}

void OperatePoller::Hide() {
  if (!m_showing) return;
  m_showing = false;
  m_startWhenCycleEnds = false;
  m_app.GetHost().KillTimer(kPollTimerId);
  m_app.ConnectionStateValue().RemoveListener(this);
  // A cycle may be waiting: the slot kills its timer, which would otherwise fire for nobody.
  m_slot.Release();
}

bool OperatePoller::OnTimer(unsigned timerId) {
  if (timerId != kPollTimerId || !m_showing) return false;
  PollNow();
  return true;
}

void OperatePoller::PollNow() {
  if (!m_showing) return;
  Host& host = m_app.GetHost();
  host.KillTimer(kPollTimerId);
  if (OperateMachine* machine = Machine()) machine->StartCycle();
  // The cycle may have ended the page meanwhile (a listener hid it).
  if (m_showing) host.SetTimer(kPollTimerId, m_app.operatePollInterval.Get());
}

bool OperatePoller::Change(const OperateChange& change, bool startNow) {
  OperateMachine* machine = Machine();
  if (machine == nullptr) return false;
  const std::uint32_t v = change.value;
  switch (change.control) {
    case C::Attenuator: machine->RequestAttenuator(v); break;
    case C::Operate: machine->RequestOperate(v); break;
    case C::Antenna: machine->RequestAntenna(v); break;
    case C::Mode: machine->RequestMode(static_cast<char>(v)); break;
    case C::Bypass: machine->RequestAtuBypass(static_cast<char>(v)); break;
    case C::Side: machine->RequestSide(static_cast<char>(v)); break;
    case C::Capacitor: machine->RequestCapacitor(static_cast<std::uint8_t>(v)); break;
    case C::Inductor: machine->RequestInductor(static_cast<std::uint8_t>(v)); break;
    case C::ClearFault:
      machine->RequestClearFault();
      return true;
    case C::Tune:
      machine->RequestTune();
      return true;
  }
  if (startNow) {
    m_startWhenCycleEnds = !machine->IsIdle();
    PollNow();
  }
  return true;
}

void OperatePoller::EnterCapacitance(std::uint32_t pF) {
  const std::uint8_t relays = RelaysFor(pF, kCapacitorWeightsPf);
  if (relays != m_app.capacitor.Get()) Change({C::Capacitor, relays}, false);
}

void OperatePoller::EnterInductance(std::uint32_t nH) {
  const std::uint8_t relays = RelaysFor(nH, kInductorWeightsNh);
  if (relays != m_app.inductor.Get()) Change({C::Inductor, relays}, false);
}

void OperatePoller::OnNotify(std::uint32_t id, std::uint32_t /*wParam*/) {
  if (id == kIdConnectionState && m_app.ConnectionState() != kConnectionNone) PollNow();
}

}  // namespace tola
