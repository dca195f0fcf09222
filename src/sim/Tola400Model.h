#pragma once
// A TOLA400 amplifier as seen from its serial connector: bytes in, bytes out, nothing else. It has
// its own line speed (bytes sent at any other speed are garbage to it and are dropped), the running
// firmware with its command set, operate values and two EEPROMs, the bootstrap loader with its
// packet protocol and flash image, restarts, and injected faults drawn from a seed.
//
// The model does no I/O and keeps no time of its own: it runs on a SimClock, and hands each byte
// it transmits to an output callback together with the speed it is sent at. Whoever carries the
// bytes (the simulated port, the pseudo-terminal) delivers them at their wire time.

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "sim/SimClock.h"

namespace tola {

enum class AmplifierMode {
  Firmware,    // the firmware runs and answers commands
  Loader,      // the bootstrap loader runs (always at 38,400 bit/s)
  Restarting,  // between a reset or a firmware load and the next program: deaf and silent
  Off,         // switched off
  Unplugged,   // the cable came off: deaf and silent for good
};

const char* AmplifierModeName(AmplifierMode mode);

// Faults the line and the amplifier can show, each drawn per event from one seeded generator, so
// the same seed and the same traffic give the same run.
struct FaultOptions {
  std::uint64_t seed = 1;
  double dropRate = 0.0;      // per byte, both directions: the byte is lost
  double corruptRate = 0.0;   // per byte, both directions: one bit of the byte flips
  double delayRate = 0.0;     // per byte, both directions: the byte (and all after it) comes late
  std::uint32_t delayMs = 150;
  double nakRate = 0.0;       // per good firmware packet: the loader answers "N" all the same
  double silenceRate = 0.0;   // per command: the amplifier ignores everything for a while
  std::uint32_t silenceMs = 2000;
  double unplugRate = 0.0;    // per command: the cable comes off
};

struct Tola400Options {
  std::uint16_t serialNumber = 1234;
  std::uint16_t revision = 123;                      // reported as "01.23"
  std::optional<std::uint16_t> revisionAfterLoad;    // unset: a load keeps the revision
  std::uint32_t speed = 38400;                       // also stored as the configured speed
  bool startInLoader = false;                        // no valid firmware: the loader stays
  std::uint32_t answerDelayUs = 1000;                // from the end of a command to its answer
  std::uint32_t eepromWriteUs = 5000;                // an EEPROM write, before its echo
  std::uint32_t restartMs = 1500;                    // "^RS;" and the end of a firmware load
  std::uint32_t loaderStartMs = 300;                 // from "^LD;" until the loader listens
  std::uint32_t loaderWindowMs = 2000;               // at power-on, before the firmware starts
  FaultOptions faults;
};

// Values reported on the Operate page. Settable ones change through the set commands; the
// measurements move slowly with time around the levels set here.
struct OperateSettings {
  unsigned band = 5;          // 0 (160 m) .. 10 (6 m)
  char attenuator = '0';      // '0', '1'
  unsigned antenna = 1;       // 1, 2
  char bypass = 'N';          // 'B', 'N'
  std::uint8_t capacitor = 0x3A;
  std::uint8_t inductor = 0x15;
  char mode = 'A';            // 'A', 'M', 'B'
  unsigned operate = 0;       // 0 standby, 1 operate
  char side = 'T';            // 'T', 'A'
  char fault = 'N';           // fault letter of the fault table, 'N' = none
  unsigned transceiverPoll = 0;
  unsigned tunerInstalled = 1;
};

struct ModelCounters {
  std::uint32_t commands = 0;        // complete commands taken in (firmware and loader text)
  std::uint32_t polls = 0;           // bare ";"
  std::uint32_t unknown = 0;         // commands the amplifier does not know or takes as malformed
  std::uint32_t ignoredBytes = 0;    // wrong speed, restarting, off, silent, unplugged
  std::uint32_t droppedIn = 0, droppedOut = 0;
  std::uint32_t corruptedIn = 0, corruptedOut = 0;
  std::uint32_t delayedIn = 0, delayedOut = 0;
  std::uint32_t silences = 0;
  std::uint32_t eepromReads = 0, eepromWrites = 0;
  std::uint32_t restarts = 0;        // resets and ends of firmware loads
  std::uint32_t loaderEntries = 0;   // "^LD;", power-on into the loader
  std::uint32_t downloads = 0;       // "D" echoed
  std::uint32_t packetsAccepted = 0; // "A"
  std::uint32_t packetsRejected = 0; // "N", injected ones included
  std::uint32_t naksInjected = 0;
  std::uint32_t lastPackets = 0;     // "B"
  std::uint32_t speedChanges = 0;
  // Damaged data that a checksum let through: a packet written, an EEPROM block written or read
  // back as good although a byte of it flipped or went missing on the line. A sum over bytes cannot
  // see two flips that cancel, so the line can fool the protocol; runs that saw one are told apart.
  std::uint32_t blindCorruptions = 0;
};

class Tola400Model {
 public:
  using Output = std::function<void(char byte, std::uint32_t speed)>;

  static constexpr std::uint32_t kLoaderSpeed = 38400;
  static constexpr std::uint32_t kFlashStart = 0x800;
  static constexpr std::uint32_t kFlashEnd = 0x1FD80;
  static constexpr std::uint32_t kPacketSize = 132;
  static constexpr std::uint32_t kPacketData = 128;
  static constexpr std::uint32_t kLastPacketAddress = 0x020800;
  static constexpr std::size_t kMem2Size = 4 * 256;
  static constexpr std::size_t kMem3Size = 0x4000;
  static constexpr std::uint32_t kFaultRingStart = 0x3800;
  static constexpr unsigned kFaultRecords = 256;
  // MEM2 bank 0: fault ring index, configured speed code (0..3 = 4,800..38,400 bit/s) and the
  // antenna-enable digits, one byte (1..3) per band.
  static constexpr unsigned kFaultIndexAddress = 0x1F;
  static constexpr unsigned kSpeedCodeAddress = 0x20;
  static constexpr unsigned kAntennaEnableAddress = 0x30;
  // MEM3: the tuner's stored matches, one 0x200-byte area per band and antenna.
  static constexpr std::uint32_t kTunerMemoryStart = 0x0400;
  static constexpr std::uint32_t kTunerMemorySize = 0x200;

  Tola400Model(SimClock& clock, Tola400Options options = {});
  ~Tola400Model();
  Tola400Model(const Tola400Model&) = delete;
  Tola400Model& operator=(const Tola400Model&) = delete;

  void SetOutput(Output output) { m_output = std::move(output); }
  // Called when the cable comes off (an injected fault or Unplug).
  void SetUnplugHandler(std::function<void()> handler) { m_unplugHandler = std::move(handler); }

  // One byte that has just finished arriving, sent at `lineSpeed`.
  void Receive(char byte, std::uint32_t lineSpeed);

  // The operator's switch and cable.
  void PowerOff();
  // Starts the loader, which listens for a while and then starts the firmware, unless something
  // talked to it or there is no valid firmware.
  void PowerOn();
  void Unplug();

  AmplifierMode Mode() const { return m_mode; }
  // The speed the amplifier's UART runs at now.
  std::uint32_t Speed() const { return m_speed; }
  // The speed a restart comes back at (from the EEPROM).
  std::uint32_t ConfiguredSpeed() const;
  std::uint16_t Revision() const { return m_revision; }
  std::uint16_t SerialNumber() const { return m_options.serialNumber; }
  bool FirmwareValid() const { return m_firmwareValid; }
  bool Silent() const;
  const Tola400Options& Options() const { return m_options; }
  // Fault rates and the answer delay may change while the model runs (a clean start, then trouble).
  FaultOptions& Faults() { return m_options.faults; }
  void SetAnswerDelayMicros(std::uint32_t us) { m_options.answerDelayUs = us; }
  void SetRevisionAfterLoad(std::uint16_t revision) { m_options.revisionAfterLoad = revision; }

  // Operate values.
  OperateSettings& Settings() { return m_settings; }
  const OperateSettings& Settings() const { return m_settings; }
  // A protective shut-down: the fault letter shows in "^fl;" and a record goes into the ring.
  void TripFault(char code, std::uint16_t variableData);
  std::string TuneStatus() const;

  // EEPROMs.
  std::array<std::uint8_t, kMem2Size>& Mem2() { return m_mem2; }
  const std::array<std::uint8_t, kMem2Size>& Mem2() const { return m_mem2; }
  std::uint8_t Mem2At(unsigned bank, unsigned address) const { return m_mem2[bank * 256 + address]; }
  std::array<std::uint8_t, kMem3Size>& Mem3() { return m_mem3; }
  const std::array<std::uint8_t, kMem3Size>& Mem3() const { return m_mem3; }
  std::uint8_t FaultIndex() const { return m_mem2[kFaultIndexAddress]; }
  void AddFaultRecord(char code, std::uint16_t frequency, std::uint16_t variableData);
  std::string AntennaEnable() const;

  // What the loader does with a well-formed packet, decided by a test script before the loader
  // looks at it: the usual (write and acknowledge), refuse it with "N", swallow it without an
  // answer, or write it and acknowledge `lateMs` later.
  enum class PacketFate { Normal, Reject, Swallow, LateAcknowledge };
  using PacketScript = std::function<PacketFate(std::uint32_t addressField)>;
  void SetPacketScript(PacketScript script, std::uint32_t lateMs = 2500) {
    m_packetScript = std::move(script);
    m_lateAcknowledgeMs = lateMs;
  }

  // The flash window as the loader wrote it, byte N holding address kFlashStart + N; 0xFF where
  // no packet landed. Erased when a download begins.
  const std::vector<std::uint8_t>& FlashImage() const { return m_flash; }

  const ModelCounters& Counters() const { return m_counters; }
  // Every complete command as received ("^sw;", ";", "B;", "D"); packets are not listed.
  const std::vector<std::string>& Commands() const { return m_commands; }
  std::uint32_t CountOf(const std::string& command) const;
  // (band code, antenna) of every "^em" erase.
  const std::vector<std::pair<unsigned, unsigned>>& MemoryErasures() const { return m_erasures; }

 private:
  struct HeldByte {
    char byte;
    char sent;  // before an injected flip
    std::uint64_t epoch;
  };

  bool Listening() const;
  void Process(char byte, char sent);
  void ProcessFirmwareByte(char byte, char sent);
  void ProcessLoaderByte(char byte, char sent);
  void HandleFirmwareCommand(const std::string& command);
  void HandleLoaderCommand(const std::string& command);
  bool HandleSet(const std::string& command);
  bool HandleEeprom(const std::string& command);
  void HandlePacket();
  std::optional<std::string> QueryAnswer(const std::string& command) const;
  bool DrawCommandFaults();
  void NoteBlindAnswer(const std::string& text, const std::string& received);

  void Emit(const std::string& text, std::uint64_t extraDelayUs = 0);
  void Schedule(std::uint64_t atUs, std::function<void()> fn);
  void ReleaseHeldInput();

  void BeginRestart(std::uint32_t ms, bool intoLoader);
  void FinishRestart(bool intoLoader, std::uint64_t epoch);
  void EnterFirmware();
  void EnterLoader();
  void NewEpoch();

  void FillFactoryDefaults();
  void FillInitialMemories();
  void AddPowerOnRecord();
  std::uint32_t OperatingSeconds() const;

  bool Chance(double rate);
  char CorruptByte(char byte);

  // Slowly moving measurements.
  double Seconds() const;
  unsigned Measure(double level, double swing, double periodS, double phase) const;
  unsigned Frequency() const;
  unsigned ForwardPower() const;
  unsigned ReflectedPower() const;
  unsigned InputPower() const;
  unsigned DrainCurrent() const;
  unsigned Dissipation() const;
  unsigned SupplyVoltage() const;
  unsigned Temperature() const;
  unsigned Swr() const;

  SimClock& m_clock;
  Tola400Options m_options;
  std::shared_ptr<int> m_alive = std::make_shared<int>(0);
  Output m_output;
  std::function<void()> m_unplugHandler;
  std::mt19937_64 m_random;

  AmplifierMode m_mode = AmplifierMode::Firmware;
  std::uint32_t m_speed = 38400;
  std::uint16_t m_revision = 0;
  bool m_firmwareValid = true;
  std::uint64_t m_epoch = 0;        // changes at every mode change; stale scheduled work is dropped
  std::uint64_t m_silentUntilUs = 0;
  bool m_loaderWindowOpen = false;  // power-on loader that will start the firmware by itself
  bool m_downloading = false;

  std::string m_command;            // text command being received
  std::vector<std::uint8_t> m_packet;
  // The same as the host sent them, to tell a damaged command or packet that passed its checks.
  std::string m_commandSent;
  bool m_commandDamaged = false;
  std::vector<std::uint8_t> m_packetSent;
  bool m_packetLostByte = false;
  std::deque<HeldByte> m_held;      // input held back by an injected delay
  bool m_releaseScheduled = false;
  std::uint64_t m_lastEmitUs = 0;

  OperateSettings m_settings;
  std::uint64_t m_tuneStartUs = 0;
  unsigned m_tunes = 0;
  std::uint16_t m_powerOns = 0;
  std::uint32_t m_hoursMeterBase = 0;  // seconds of operation before the model was built

  std::array<std::uint8_t, kMem2Size> m_mem2{};
  std::array<std::uint8_t, kMem3Size> m_mem3{};
  std::vector<std::uint8_t> m_flash;

  ModelCounters m_counters;
  std::vector<std::string> m_commands;
  std::map<std::string, std::uint32_t> m_commandCounts;
  std::vector<std::pair<unsigned, unsigned>> m_erasures;
  PacketScript m_packetScript;
  std::uint32_t m_lateAcknowledgeMs = 2500;
};

}  // namespace tola
