#include "sim/Tola400Model.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>

namespace tola {

namespace {

constexpr std::array<std::uint32_t, 4> kSpeedOfCode{4800, 9600, 19200, 38400};

// What the firmware and the loader say to a bare ";" and to an identification request.
constexpr const char* kFirmwarePollAnswer = "TOLA400;";
constexpr const char* kLoaderAnswer = "tola400;";

// Centre of each band in kHz, 160 m to 6 m.
constexpr std::array<unsigned, 11> kBandCentreKhz{1830,  3650,  5360,  7100,  10120, 14200,
                                                  18100, 21200, 24940, 28500, 50150};

// Time after "^ft;" that the tuner reports itself busy.
constexpr std::uint64_t kTuneMicros = 2'000'000;
// Extra time an EEPROM write takes before it is confirmed.

constexpr std::uint32_t kFactorySpeedCode = 3;
constexpr const char* kFactoryAntennaEnable = "33333333333";
constexpr const char* kInitialAntennaEnable = "33311111122";

int HexValue(char c) {
  // Commands carry upper-case digits only ("%02X"); anything else is a malformed command.
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool HexByteAt(const std::string& text, std::size_t pos, std::uint8_t& out) {
  if (pos + 1 >= text.size()) return false;
  const int high = HexValue(text[pos]);
  const int low = HexValue(text[pos + 1]);
  if (high < 0 || low < 0) return false;
  out = static_cast<std::uint8_t>(high * 16 + low);
  return true;
}

std::string Hex2(std::uint8_t value) { return fmt::format("{:02X}", value); }

int SpeedCode(std::uint32_t speed) {
  for (std::size_t i = 0; i < kSpeedOfCode.size(); ++i) {
    if (kSpeedOfCode[i] == speed) return static_cast<int>(i);
  }
  return -1;
}

// A small deterministic generator for the initial memory contents, so every model with the same
// serial number holds the same calibration.
class ContentGenerator {
 public:
  explicit ContentGenerator(std::uint32_t seed) : m_state(seed * 2654435761u + 1) {}
  std::uint8_t Next() {
    m_state = m_state * 1103515245u + 12345u;
    return static_cast<std::uint8_t>(m_state >> 16);
  }

 private:
  std::uint32_t m_state;
};

}  // namespace

const char* AmplifierModeName(AmplifierMode mode) {
  switch (mode) {
    case AmplifierMode::Firmware: return "firmware";
    case AmplifierMode::Loader: return "loader";
    case AmplifierMode::Restarting: return "restarting";
    case AmplifierMode::Off: return "off";
    case AmplifierMode::Unplugged: return "unplugged";
  }
  return "?";
}

Tola400Model::Tola400Model(SimClock& clock, Tola400Options options)
    : m_clock(clock), m_options(std::move(options)), m_random(m_options.faults.seed) {
  m_flash.assign(kFlashEnd - kFlashStart, 0xFF);
  m_revision = m_options.revision;
  if (SpeedCode(m_options.speed) < 0) m_options.speed = 38400;
  FillInitialMemories();
  m_speed = m_options.speed;
  if (m_options.startInLoader) {
    m_firmwareValid = false;
    m_mode = AmplifierMode::Loader;
    m_speed = kLoaderSpeed;
  }
}

Tola400Model::~Tola400Model() = default;

// ---------------------------------------------------------------------------------------------
// Receiving

bool Tola400Model::Silent() const { return m_clock.NowMicros() < m_silentUntilUs; }

bool Tola400Model::Listening() const {
  return (m_mode == AmplifierMode::Firmware || m_mode == AmplifierMode::Loader) && !Silent();
}

void Tola400Model::Receive(char byte, std::uint32_t lineSpeed) {
  // A byte at another speed reaches the UART as a framing error and is thrown away; it must not
  // touch the command being assembled.
  if (!Listening() || lineSpeed != m_speed) {
    ++m_counters.ignoredBytes;
    return;
  }
  const FaultOptions& f = m_options.faults;
  const char sent = byte;
  if (Chance(f.dropRate)) {
    ++m_counters.droppedIn;
    if (m_downloading) m_packetLostByte = true;
    return;
  }
  if (Chance(f.corruptRate)) {
    byte = CorruptByte(byte);
    ++m_counters.corruptedIn;
  }
  if (!m_held.empty()) {
    // A line does not reorder: everything behind a late byte is late as well.
    m_held.push_back(HeldByte{byte, sent, m_epoch});
    return;
  }
  if (Chance(f.delayRate)) {
    ++m_counters.delayedIn;
    m_held.push_back(HeldByte{byte, sent, m_epoch});
    Schedule(m_clock.NowMicros() + std::uint64_t{f.delayMs} * 1000, [this] { ReleaseHeldInput(); });
    return;
  }
  Process(byte, sent);
}

void Tola400Model::ReleaseHeldInput() {
  while (!m_held.empty()) {
    const HeldByte held = m_held.front();
    m_held.pop_front();
    if (held.epoch == m_epoch && Listening()) {
      Process(held.byte, held.sent);
    } else {
      ++m_counters.ignoredBytes;
    }
  }
}

void Tola400Model::Process(char byte, char sent) {
  if (m_mode == AmplifierMode::Firmware) {
    ProcessFirmwareByte(byte, sent);
  } else if (m_mode == AmplifierMode::Loader) {
    ProcessLoaderByte(byte, sent);
  }
}

void Tola400Model::ProcessFirmwareByte(char byte, char sent) {
  if (byte == '^') {
    m_command = "^";
    m_commandSent.assign(1, sent);
    return;
  }
  if (byte == ';') {
    std::string command = m_command + ';';
    m_commandDamaged = m_commandSent + sent != command;
    m_command.clear();
    m_commandSent.clear();
    HandleFirmwareCommand(command);
    m_commandDamaged = false;
    return;
  }
  // The longest command is an EEPROM write of 141 characters; anything longer is noise.
  if (m_command.size() >= 256) {
    m_command.clear();
    m_commandSent.clear();
  }
  m_command += byte;
  m_commandSent += sent;
}

void Tola400Model::ProcessLoaderByte(char byte, char sent) {
  if (m_downloading) {
    m_packet.push_back(static_cast<std::uint8_t>(byte));
    m_packetSent.push_back(static_cast<std::uint8_t>(sent));
    if (m_packet.size() == kPacketSize) HandlePacket();
    return;
  }
  if (m_command.empty() && byte == 'D') {
    ++m_counters.commands;
    m_commands.emplace_back("D");
    ++m_commandCounts["D"];
    m_loaderWindowOpen = false;
    if (DrawCommandFaults()) return;
    ++m_counters.downloads;
    Emit("D");
    // The loader erases the program memory before it writes the first block.
    m_downloading = true;
    m_packet.clear();
    m_packetSent.clear();
    m_packetLostByte = false;
    std::fill(m_flash.begin(), m_flash.end(), std::uint8_t{0xFF});
    m_firmwareValid = false;
    return;
  }
  if (byte == '^') {
    m_command = "^";
    return;
  }
  if (byte == ';') {
    std::string command = m_command + ';';
    m_command.clear();
    HandleLoaderCommand(command);
    return;
  }
  if (m_command.size() >= 64) m_command.clear();
  m_command += byte;
}

bool Tola400Model::DrawCommandFaults() {
  const FaultOptions& f = m_options.faults;
  if (Chance(f.unplugRate)) {
    Unplug();
    return true;
  }
  if (Chance(f.silenceRate)) {
    ++m_counters.silences;
    m_silentUntilUs = m_clock.NowMicros() + std::uint64_t{f.silenceMs} * 1000;
    m_command.clear();
    m_packet.clear();
    m_packetSent.clear();
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// Firmware commands

void Tola400Model::HandleFirmwareCommand(const std::string& command) {
  ++m_counters.commands;
  m_commands.push_back(command);
  ++m_commandCounts[command];
  if (DrawCommandFaults()) return;

  if (command == ";") {
    ++m_counters.polls;
    Emit(kFirmwarePollAnswer);
    return;
  }
  if (auto answer = QueryAnswer(command)) {
    Emit(*answer);
    return;
  }
  if (HandleSet(command)) return;
  if (HandleEeprom(command)) return;
  ++m_counters.unknown;
}

std::optional<std::string> Tola400Model::QueryAnswer(const std::string& c) const {
  const OperateSettings& s = m_settings;
  if (c == "^I;") return std::string("^ITOLA400;");
  if (c == "^ID;") return std::string("^IDTOLA400;");
  if (c == "^RV;") return fmt::format("^RV{:02}.{:02};", m_revision / 100 % 100, m_revision % 100);
  if (c == "^sn;") return fmt::format("^SN{};", m_options.serialNumber);
  if (c == "^tu;") return fmt::format("^TU{};", s.tunerInstalled);
  if (c == "^at;") return fmt::format("^AT{};", s.attenuator);
  if (c == "^bn;") return fmt::format("^BN{};", s.band);
  if (c == "^pc;") return fmt::format("^PC{};", DrainCurrent());
  if (c == "^f;") return fmt::format("^F{};", Frequency());
  if (c == "^op;") return fmt::format("^OP{};", s.operate);
  if (c == "^pd;") return fmt::format("^PD{};", Dissipation());
  if (c == "^pf;") return fmt::format("^PF{};", ForwardPower());
  if (c == "^pi;") return fmt::format("^PI{};", InputPower());
  if (c == "^pv;") return fmt::format("^PV{};", ReflectedPower());
  if (c == "^sv;") return fmt::format("^SV{};", SupplyVoltage());
  if (c == "^sw;") return fmt::format("^SW{};", Swr());
  if (c == "^fl;") return fmt::format("^FL{};", s.fault);
  if (c == "^tm;") return fmt::format("^TM{};", Temperature());
  if (c == "^xp;") return fmt::format("^XP{};", s.transceiverPoll);
  if (c == "^an;") return fmt::format("^AN{};", s.antenna);
  if (c == "^by;") return fmt::format("^BY{};", s.bypass);
  if (c == "^cr;") return fmt::format("^CR{:02X};", s.capacitor);
  if (c == "^lr;") return fmt::format("^LR{:02X};", s.inductor);
  if (c == "^md;") return fmt::format("^MD{};", s.mode);
  if (c == "^si;") return fmt::format("^SI{};", s.side);
  if (c == "^ts;") return "^TS" + TuneStatus() + ";";
  if (c == "^aea;") return "^AEA" + AntennaEnable() + ";";
  return std::nullopt;
}

bool Tola400Model::HandleSet(const std::string& c) {
  OperateSettings& s = m_settings;
  // One-character set forms: "^xx" + value + ";".
  if (c.size() == 5 && c[4] == ';') {
    const std::string head = c.substr(0, 3);
    const char v = c[3];
    if (head == "^at" && (v == '0' || v == '1')) {
      s.attenuator = v;
      return true;
    }
    if (head == "^op" && (v == '0' || v == '1')) {
      s.operate = static_cast<unsigned>(v - '0');
      return true;
    }
    if (head == "^an" && (v == '1' || v == '2')) {
      s.antenna = static_cast<unsigned>(v - '0');
      return true;
    }
    if (head == "^by" && (v == 'B' || v == 'N')) {
      s.bypass = v;
      return true;
    }
    if (head == "^md" && (v == 'A' || v == 'M' || v == 'B')) {
      s.mode = v;
      return true;
    }
    if (head == "^si" && (v == 'T' || v == 'A')) {
      s.side = v;
      return true;
    }
  }
  // Relay bytes: "^cr" / "^lr" + two upper-case hexadecimal digits + ";".
  if (c.size() == 6 && c[5] == ';' && (c.compare(0, 3, "^cr") == 0 || c.compare(0, 3, "^lr") == 0)) {
    std::uint8_t value = 0;
    if (!HexByteAt(c, 3, value)) return false;
    (c[1] == 'c' ? s.capacitor : s.inductor) = value;
    return true;
  }
  if (c.size() == 6 && c.compare(0, 4, "^brp") == 0 && c[5] == ';' && c[4] >= '0' && c[4] <= '3') {
    // The command itself still came at the old speed; everything after it uses the new one.
    m_speed = kSpeedOfCode[static_cast<std::size_t>(c[4] - '0')];
    ++m_counters.speedChanges;
    m_command.clear();
    return true;
  }
  if (c == "^RS;") {
    BeginRestart(m_options.restartMs, false);
    return true;
  }
  if (c == "^LD;") {
    BeginRestart(m_options.loaderStartMs, true);
    return true;
  }
  if (c == "^ft;") {
    m_tuneStartUs = m_clock.NowMicros();
    ++m_tunes;
    return true;
  }
  if (c == "^flc;") {
    s.fault = 'N';
    return true;
  }
  if (c == "^ec;") {
    FillFactoryDefaults();
    return true;
  }
  // "^em" + two-digit band code + one-digit antenna + ";".
  if (c.size() == 7 && c.compare(0, 3, "^em") == 0 && c[6] == ';') {
    if (!std::isdigit(static_cast<unsigned char>(c[3])) ||
        !std::isdigit(static_cast<unsigned char>(c[4])) || (c[5] != '1' && c[5] != '2')) {
      return false;
    }
    const unsigned band = static_cast<unsigned>((c[3] - '0') * 10 + (c[4] - '0'));
    const unsigned antenna = static_cast<unsigned>(c[5] - '0');
    if (band > 10 && band != 15) return false;
    m_erasures.emplace_back(band, antenna);
    for (unsigned b = 0; b <= 10; ++b) {
      if (band != 15 && b != band) continue;
      const std::uint32_t start = kTunerMemoryStart + (b * 2 + (antenna - 1)) * kTunerMemorySize;
      std::fill_n(m_mem3.begin() + start, kTunerMemorySize, std::uint8_t{0xFF});
    }
    return true;
  }
  // "^AEA" + eleven digits "1" to "3" + ";".
  if (c.size() == 16 && c.compare(0, 4, "^AEA") == 0 && c[15] == ';') {
    for (std::size_t i = 4; i < 15; ++i) {
      if (c[i] < '1' || c[i] > '3') return false;
    }
    for (std::size_t i = 0; i < 11; ++i) {
      m_mem2[kAntennaEnableAddress + i] = static_cast<std::uint8_t>(c[4 + i] - '0');
    }
    return true;
  }
  return false;
}

bool Tola400Model::HandleEeprom(const std::string& c) {
  if (c.size() < 13) return false;
  const std::string prefix = c.substr(0, 4);
  const bool read = prefix == "^ERP" || prefix == "^ERS";
  const bool write = prefix == "^EWP" || prefix == "^EWS";
  if (!read && !write) return false;
  const bool mem3 = prefix[3] == 'S';

  std::uint8_t bank = 0, address = 0, count = 0;
  if (!HexByteAt(c, 4, bank) || !HexByteAt(c, 6, address) || !HexByteAt(c, 8, count)) return false;
  if (count == 0 || count > 64) return false;
  if (c.size() != 13u + (write ? 2u * count : 0u)) return false;

  std::uint8_t sum = static_cast<std::uint8_t>(bank + address + count);
  std::vector<std::uint8_t> data;
  if (write) {
    for (unsigned i = 0; i < count; ++i) {
      std::uint8_t b = 0;
      if (!HexByteAt(c, 10 + 2 * i, b)) return false;
      data.push_back(b);
      sum = static_cast<std::uint8_t>(sum + b);
    }
  }
  std::uint8_t checksum = 0;
  if (!HexByteAt(c, c.size() - 3, checksum)) return false;
  if (static_cast<std::uint8_t>(sum + checksum) != 0) return false;

  // A MEM2 block stays in its bank; a MEM3 block runs on through the pages but not past the end.
  std::uint8_t* memory = nullptr;
  if (mem3) {
    const std::uint32_t start = std::uint32_t{bank} * 256 + address;
    if (bank > 0x3F || start + count > kMem3Size) return false;
    memory = m_mem3.data() + start;
  } else {
    if (bank > 3 || unsigned{address} + count > 256) return false;
    memory = m_mem2.data() + bank * 256 + address;
  }

  const std::string head = prefix + Hex2(bank) + Hex2(address) + Hex2(count);
  if (read) {
    ++m_counters.eepromReads;
    std::string answer = head;
    std::uint8_t total = static_cast<std::uint8_t>(bank + address + count);
    for (unsigned i = 0; i < count; ++i) {
      answer += Hex2(memory[i]);
      total = static_cast<std::uint8_t>(total + memory[i]);
    }
    answer += Hex2(static_cast<std::uint8_t>(-total)) + ";";
    Emit(answer);
  } else {
    ++m_counters.eepromWrites;
    if (m_commandDamaged) ++m_counters.blindCorruptions;
    std::copy(data.begin(), data.end(), memory);
    const std::uint8_t headSum = static_cast<std::uint8_t>(bank + address + count);
    Emit(head + Hex2(static_cast<std::uint8_t>(-headSum)) + ";", m_options.eepromWriteUs);
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Bootstrap loader

void Tola400Model::HandleLoaderCommand(const std::string& command) {
  ++m_counters.commands;
  m_commands.push_back(command);
  ++m_commandCounts[command];
  if (DrawCommandFaults()) return;
  if (command == ";" || command == "^I;" || command == "^ID;" || command == "B;") {
    // Somebody is talking to the loader: it stays instead of starting the firmware.
    m_loaderWindowOpen = false;
    if (command == ";") ++m_counters.polls;
    Emit(kLoaderAnswer);
    return;
  }
  ++m_counters.unknown;
}

void Tola400Model::HandlePacket() {
  std::uint8_t sum = 0;
  for (std::uint8_t b : m_packet) sum = static_cast<std::uint8_t>(sum + b);
  const std::uint32_t address = std::uint32_t{m_packet[128]} | (std::uint32_t{m_packet[129]} << 8) |
                                (std::uint32_t{m_packet[130]} << 16);
  const bool last = address == kLastPacketAddress;
  const bool aligned = address >= kFlashStart + kPacketData && address + kPacketData <= kFlashEnd &&
                       (address - kFlashStart) % kPacketData == 0;
  std::vector<std::uint8_t> packet;
  packet.swap(m_packet);
  const bool damaged = m_packetLostByte || packet != m_packetSent;
  m_packetSent.clear();
  m_packetLostByte = false;

  if (DrawCommandFaults()) return;
  if (sum != 0 || (!last && !aligned)) {
    ++m_counters.packetsRejected;
    Emit("N");
    return;
  }
  if (Chance(m_options.faults.nakRate)) {
    ++m_counters.naksInjected;
    ++m_counters.packetsRejected;
    Emit("N");
    return;
  }
  const PacketFate fate = m_packetScript ? m_packetScript(address) : PacketFate::Normal;
  if (fate == PacketFate::Reject) {
    ++m_counters.packetsRejected;
    Emit("N");
    return;
  }
  if (fate == PacketFate::Swallow) return;
  const std::uint64_t answerDelayUs =
      fate == PacketFate::LateAcknowledge ? std::uint64_t{m_lateAcknowledgeMs} * 1000 : 0;
  const std::uint32_t offset = last ? 0 : address - kFlashStart;
  std::copy_n(packet.begin(), kPacketData, m_flash.begin() + offset);
  if (damaged) ++m_counters.blindCorruptions;
  if (!last) {
    ++m_counters.packetsAccepted;
    Emit("A", answerDelayUs);
    return;
  }
  ++m_counters.lastPackets;
  Emit("B", answerDelayUs);
  m_firmwareValid = true;
  if (m_options.revisionAfterLoad) m_revision = *m_options.revisionAfterLoad;
  BeginRestart(m_options.restartMs, false);
}

// ---------------------------------------------------------------------------------------------
// Modes

void Tola400Model::NewEpoch() {
  ++m_epoch;
  m_command.clear();
  m_commandSent.clear();
  m_packet.clear();
  m_packetSent.clear();
  m_packetLostByte = false;
  m_held.clear();
  m_downloading = false;
  m_loaderWindowOpen = false;
}

void Tola400Model::BeginRestart(std::uint32_t ms, bool intoLoader) {
  NewEpoch();
  m_mode = AmplifierMode::Restarting;
  const std::uint64_t epoch = m_epoch;
  Schedule(m_clock.NowMicros() + std::uint64_t{ms} * 1000,
           [this, intoLoader, epoch] { FinishRestart(intoLoader, epoch); });
}

void Tola400Model::FinishRestart(bool intoLoader, std::uint64_t epoch) {
  if (epoch != m_epoch || m_mode != AmplifierMode::Restarting) return;
  if (intoLoader) {
    EnterLoader();
  } else {
    ++m_counters.restarts;
    EnterFirmware();
  }
}

void Tola400Model::EnterFirmware() {
  NewEpoch();
  m_mode = AmplifierMode::Firmware;
  m_speed = ConfiguredSpeed();
  AddPowerOnRecord();
}

void Tola400Model::EnterLoader() {
  NewEpoch();
  m_mode = AmplifierMode::Loader;
  m_speed = kLoaderSpeed;
  ++m_counters.loaderEntries;
}

void Tola400Model::PowerOff() {
  if (m_mode == AmplifierMode::Unplugged) return;
  NewEpoch();
  m_mode = AmplifierMode::Off;
}

void Tola400Model::PowerOn() {
  if (m_mode == AmplifierMode::Unplugged) return;
  EnterLoader();
  if (!m_firmwareValid) return;
  m_loaderWindowOpen = true;
  const std::uint64_t epoch = m_epoch;
  Schedule(m_clock.NowMicros() + std::uint64_t{m_options.loaderWindowMs} * 1000, [this, epoch] {
    if (epoch != m_epoch || m_mode != AmplifierMode::Loader || !m_loaderWindowOpen) return;
    ++m_counters.restarts;
    EnterFirmware();
  });
}

void Tola400Model::Unplug() {
  if (m_mode == AmplifierMode::Unplugged) return;
  NewEpoch();
  m_mode = AmplifierMode::Unplugged;
  if (m_unplugHandler) m_unplugHandler();
}

std::uint32_t Tola400Model::ConfiguredSpeed() const {
  const std::uint8_t code = m_mem2[kSpeedCodeAddress];
  return code < kSpeedOfCode.size() ? kSpeedOfCode[code] : 38400;
}

// ---------------------------------------------------------------------------------------------
// Output and time

void Tola400Model::Schedule(std::uint64_t atUs, std::function<void()> fn) {
  std::weak_ptr<int> alive = m_alive;
  m_clock.ScheduleAt(atUs, [alive, fn = std::move(fn)] {
    if (!alive.expired()) fn();
  });
}

void Tola400Model::Emit(const std::string& text, std::uint64_t extraDelayUs) {
  const FaultOptions& f = m_options.faults;
  std::uint64_t at = std::max(m_clock.NowMicros() + m_options.answerDelayUs + extraDelayUs, m_lastEmitUs);
  const std::uint32_t speed = m_speed;
  std::string received;
  for (char byte : text) {
    if (Chance(f.dropRate)) {
      ++m_counters.droppedOut;
      continue;
    }
    if (Chance(f.corruptRate)) {
      byte = CorruptByte(byte);
      ++m_counters.corruptedOut;
    }
    received += byte;
    if (Chance(f.delayRate)) {
      ++m_counters.delayedOut;
      at += std::uint64_t{f.delayMs} * 1000;
    }
    m_lastEmitUs = at;
    // Bytes already handed to the UART go out even if the amplifier restarts meanwhile.
    Schedule(at, [this, byte, speed] {
      if (m_mode == AmplifierMode::Unplugged || m_mode == AmplifierMode::Off) return;
      if (m_output) m_output(byte, speed);
    });
  }
  if (received != text) NoteBlindAnswer(text, received);
}

void Tola400Model::NoteBlindAnswer(const std::string& text, const std::string& received) {
  // Of the answers only an EEPROM read carries data under a sum. The host takes a damaged one when
  // it still echoes the command (letter case aside), every pair is a hex digit pair in either case
  // and the sum still comes to zero.
  const bool read = text.size() > 13 && (text.compare(0, 4, "^ERP") == 0 || text.compare(0, 4, "^ERS") == 0);
  if (!read || received.size() != text.size() || received.back() != ';') return;
  const auto upper = [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); };
  for (std::size_t i = 0; i < 10; ++i) {
    if (upper(received[i]) != upper(text[i])) return;
  }
  std::uint8_t sum = 0;
  bool differs = false;
  for (std::size_t i = 4; i + 1 < received.size(); i += 2) {
    const int high = HexValue(upper(received[i]));
    const int low = HexValue(upper(received[i + 1]));
    if (high < 0 || low < 0) return;
    sum = static_cast<std::uint8_t>(sum + high * 16 + low);
    differs = differs || high != HexValue(text[i]) || low != HexValue(text[i + 1]);
  }
  if (sum == 0 && differs) ++m_counters.blindCorruptions;
}

bool Tola400Model::Chance(double rate) {
  if (rate <= 0.0) return false;
  if (rate >= 1.0) return true;
  return std::uniform_real_distribution<double>(0.0, 1.0)(m_random) < rate;
}

char Tola400Model::CorruptByte(char byte) {
  const unsigned bit = static_cast<unsigned>(m_random() % 8);
  return static_cast<char>(static_cast<unsigned char>(byte) ^ (1u << bit));
}

std::uint32_t Tola400Model::CountOf(const std::string& command) const {
  auto it = m_commandCounts.find(command);
  return it == m_commandCounts.end() ? 0 : it->second;
}

// ---------------------------------------------------------------------------------------------
// Memories

void Tola400Model::FillInitialMemories() {
  ContentGenerator gen(m_options.serialNumber);
  for (auto& b : m_mem2) b = gen.Next();
  m_mem2[0] = static_cast<std::uint8_t>(m_options.serialNumber & 0xFF);
  m_mem2[1] = static_cast<std::uint8_t>(m_options.serialNumber >> 8);
  m_mem2[kSpeedCodeAddress] = static_cast<std::uint8_t>(SpeedCode(m_options.speed));
  for (std::size_t i = 0; i < 11; ++i) {
    m_mem2[kAntennaEnableAddress + i] = static_cast<std::uint8_t>(kInitialAntennaEnable[i] - '0');
  }

  // General settings, then the tuner's stored matches: a few per band and antenna (4 bytes each:
  // capacitor relays, inductor relays, side, frequency step), the rest of each area empty.
  for (std::uint32_t a = 0; a < kTunerMemoryStart; ++a) m_mem3[a] = gen.Next();
  std::fill(m_mem3.begin() + kTunerMemoryStart, m_mem3.begin() + kFaultRingStart, std::uint8_t{0xFF});
  for (unsigned area = 0; area < 22; ++area) {
    const std::uint32_t start = kTunerMemoryStart + area * kTunerMemorySize;
    const unsigned entries = 3 + gen.Next() % 12;
    for (unsigned e = 0; e < entries; ++e) {
      for (unsigned k = 0; k < 4; ++k) m_mem3[start + e * 4 + k] = gen.Next() & 0x7F;
    }
  }
  for (std::uint32_t a = kTunerMemoryStart + 22 * kTunerMemorySize; a < kFaultRingStart; ++a) {
    m_mem3[a] = gen.Next();
  }

  // The fault ring: power-ups and a few protective shut-downs over some 34 hours of operation.
  std::fill(m_mem3.begin() + kFaultRingStart, m_mem3.end(), std::uint8_t{0xFF});
  struct Seed {
    char code;
    std::uint32_t time;
    std::uint16_t frequency;
    std::uint16_t data;
  };
  const Seed history[] = {
      {'N', 18000, 14200, 1},   {'S', 19234, 14205, 31},    {'N', 32400, 7100, 2},
      {'T', 40625, 21250, 652}, {'N', 108000, 3650, 3},     {'C', 108842, 3650, 238},
      {'N', 118861, 28500, 4},  {'H', 119500, 50150, 57345}, {'N', 122400, 14074, 5},
  };
  m_mem2[kFaultIndexAddress] = 0xFF;  // the first record goes into slot 0
  for (const Seed& s : history) {
    m_hoursMeterBase = s.time;
    AddFaultRecord(s.code, s.frequency, s.data);
  }
  m_powerOns = 5;
  m_hoursMeterBase = 122400 + 600;
}

void Tola400Model::FillFactoryDefaults() {
  // Bank 0 below the speed code (identity, fault index) and the calibration banks stay.
  std::fill(m_mem2.begin() + kSpeedCodeAddress, m_mem2.begin() + 256, std::uint8_t{0});
  m_mem2[kSpeedCodeAddress] = kFactorySpeedCode;
  for (std::size_t i = 0; i < 11; ++i) {
    m_mem2[kAntennaEnableAddress + i] = static_cast<std::uint8_t>(kFactoryAntennaEnable[i] - '0');
  }
  std::fill(m_mem3.begin(), m_mem3.begin() + kTunerMemoryStart, std::uint8_t{0});
  std::fill(m_mem3.begin() + kTunerMemoryStart, m_mem3.begin() + kFaultRingStart, std::uint8_t{0xFF});
}

void Tola400Model::AddFaultRecord(char code, std::uint16_t frequency, std::uint16_t variableData) {
  const std::uint8_t slot = static_cast<std::uint8_t>(m_mem2[kFaultIndexAddress] + 1);
  const std::uint32_t time = OperatingSeconds() & 0xFFFFFF;
  std::uint8_t* r = m_mem3.data() + kFaultRingStart + slot * 8u;
  r[0] = static_cast<std::uint8_t>(code);
  r[1] = static_cast<std::uint8_t>(time & 0xFF);
  r[2] = static_cast<std::uint8_t>((time >> 8) & 0xFF);
  r[3] = static_cast<std::uint8_t>((time >> 16) & 0xFF);
  r[4] = static_cast<std::uint8_t>(frequency & 0xFF);
  r[5] = static_cast<std::uint8_t>(frequency >> 8);
  r[6] = static_cast<std::uint8_t>(variableData & 0xFF);
  r[7] = static_cast<std::uint8_t>(variableData >> 8);
  m_mem2[kFaultIndexAddress] = slot;
}

void Tola400Model::AddPowerOnRecord() {
  ++m_powerOns;
  AddFaultRecord('N', static_cast<std::uint16_t>(Frequency()), m_powerOns);
}

void Tola400Model::TripFault(char code, std::uint16_t variableData) {
  m_settings.fault = code;
  m_settings.operate = 0;  // a protective shut-down drops to standby
  AddFaultRecord(code, static_cast<std::uint16_t>(Frequency()), variableData);
}

std::uint32_t Tola400Model::OperatingSeconds() const {
  return m_hoursMeterBase + static_cast<std::uint32_t>(m_clock.NowMicros() / 1'000'000);
}

std::string Tola400Model::AntennaEnable() const {
  std::string text;
  for (std::size_t i = 0; i < 11; ++i) {
    const std::uint8_t v = m_mem2[kAntennaEnableAddress + i];
    text += (v >= 1 && v <= 3) ? static_cast<char>('0' + v) : '3';
  }
  return text;
}

std::string Tola400Model::TuneStatus() const {
  // SWR after the last tune, tuner state (0 never tuned, 1 tuning, 2 tuned), tunes modulo 10.
  unsigned state = 0;
  if (m_tunes > 0) state = m_clock.NowMicros() < m_tuneStartUs + kTuneMicros ? 1 : 2;
  return fmt::format("{:03} {} {}", Swr(), state, m_tunes % 10);
}

// ---------------------------------------------------------------------------------------------
// Measurements: smooth drifts around plausible levels, so successive polls differ a little.

double Tola400Model::Seconds() const { return static_cast<double>(m_clock.NowMicros()) / 1e6; }

unsigned Tola400Model::Measure(double level, double swing, double periodS, double phase) const {
  const double v = level + swing * std::sin(2.0 * std::numbers::pi * Seconds() / periodS + phase);
  return v <= 0.0 ? 0u : static_cast<unsigned>(std::lround(v));
}

unsigned Tola400Model::Frequency() const {
  const unsigned centre = kBandCentreKhz[std::min<unsigned>(m_settings.band, 10)];
  return centre - 20 + Measure(20, 15, 240, 0.3);
}

unsigned Tola400Model::InputPower() const { return Measure(m_settings.attenuator == '1' ? 140 : 280, 20, 37, 1.0); }

unsigned Tola400Model::ForwardPower() const {
  if (m_settings.operate == 0) return InputPower();
  return Measure(m_settings.attenuator == '1' ? 2000 : 3800, 250, 41, 0.0);
}

unsigned Tola400Model::Swr() const { return Measure(13, 3, 53, 2.0); }

unsigned Tola400Model::ReflectedPower() const {
  const double s = Swr() / 10.0;
  const double rho = (s - 1.0) / (s + 1.0);
  return static_cast<unsigned>(std::lround(ForwardPower() * rho * rho));
}

unsigned Tola400Model::DrainCurrent() const {
  return m_settings.operate == 0 ? Measure(6, 1, 29, 0.5) : Measure(190, 15, 31, 0.7);
}

unsigned Tola400Model::Dissipation() const {
  return m_settings.operate == 0 ? Measure(300, 30, 47, 0.2) : Measure(4500, 400, 43, 1.3);
}

unsigned Tola400Model::SupplyVoltage() const {
  return m_settings.operate == 0 ? Measure(53200, 100, 61, 0.1) : Measure(51500, 400, 59, 0.9);
}

unsigned Tola400Model::Temperature() const { return Measure(m_settings.operate == 0 ? 330 : 420, 40, 600, 0.0); }

}  // namespace tola
