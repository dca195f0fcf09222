#pragma once
// The firmware load: identify the TOLA400, put it into its bootstrap loader, stream the image as
// 132-byte packets (one outstanding, each acknowledged), resynchronise to the loader's packet
// boundary when an answer is missing or a packet is refused repeatedly, wait for the reset, find
// the amplifier's speed again and read back its revision and serial number.

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "dialogue/CStateMachine.h"
#include "dialogue/ConnectionMachine.h"
#include "dialogue/SpeedStates.h"
#include "formats/FirmwareImage.h"

namespace tola {

class FirmwareLoadMachine;

inline constexpr std::size_t kFirmwarePacketSize = 132;
inline constexpr std::size_t kFirmwarePacketData = 128;
// What the last packet (the block at 0x800) carries in its address field.
inline constexpr std::uint32_t kLastPacketAddressField = 0x020800;

// A packet: 128 image bytes, the address as 24 bits low byte first, and a checksum byte that makes
// all 132 bytes sum to zero modulo 256.
std::string BuildFirmwarePacket(std::span<const std::uint8_t> data, std::uint32_t addressField);

// Sends "^LD;" only while the amplifier's firmware is known to run; after the wait the port alone
// moves to the loader's 38,400 bit/s.
class LoadEnterBootLoaderState : public CommandState {
 public:
  LoadEnterBootLoaderState(CStateMachine& machine, CState* next)
      : CommandState(machine, "LoadEnterBootLoaderState", next, 2000, "^LD;") {}
  void Execute() override;
  void OnTimeout() override;
};

// "D", echoed by the loader when it is ready for packets.
class LoadBeginDownloadState : public QueryState {
 public:
  LoadBeginDownloadState(CStateMachine& machine, CState* next)
      : QueryState(machine, "LoadBeginDownloadState", next, 10000, "D", kLoaderNoD) {}
  std::string Terminators() const override { return "D"; }
  void OnResponse(const std::string& response) override;
  void OnTimeout() override { FailAtOnce(); }
  void GoToFinal() override;
};

class FirmwareResyncState;

// Sends packets and counts refusals and silences; the initial phase walks the image from 0x880
// upward, the last phase sends the block at 0x800.
class FirmwarePacketState : public QueryState {
 public:
  enum class Phase { Initial, Last };

  FirmwarePacketState(FirmwareLoadMachine& machine, std::string name, CState* next, Phase phase);
  void SetResync(FirmwareResyncState* resync) { m_resync = resync; }

  void Enter() override;
  void Execute() override;
  void Send() override;
  void LogSend(const std::string& text) override;
  bool Accept(const std::string& response) override;
  void OnAccepted(const std::string& response) override;
  void OnTimeout() override;
  void GoToFinal() override;
  std::string Terminators() const override;

  char Acknowledge() const { return m_phase == Phase::Initial ? 'A' : 'B'; }
  std::uint32_t RetryCount() const { return m_retries; }

 private:
  void BuildStep();
  void Resynchronise();

  FirmwareLoadMachine& m_load;
  Phase m_phase;
  FirmwareResyncState* m_resync = nullptr;
  std::uint32_t m_retries = 0;
};

// Single ";" polls until the loader says "N" at a packet boundary, then the same packet again.
class FirmwareResyncState : public QueryState {
 public:
  static constexpr std::uint32_t kPollLimit = 132;

  FirmwareResyncState(FirmwareLoadMachine& machine, std::string name, FirmwarePacketState& packetState);
  void Enter() override;
  void OnTimeout() override;
  std::string Terminators() const override { return "N"; }
  void GoToNext() override;

 private:
  FirmwareLoadMachine& m_load;
  FirmwarePacketState& m_packetState;
};

// The amplifier restarts after the last packet; its answers meanwhile mean nothing.
class LoadWaitResetState : public CState {
 public:
  static constexpr std::uint32_t kWaitMs = 3000;
  LoadWaitResetState(CStateMachine& machine, CState* next) : CState(machine, "LoadWaitResetState", next) {}
  void Enter() override;
  void Execute() override;
  void OnTimeout() override { GoToNext(); }
};

class FirmwareLoadMachine : public CStateMachine {
 public:
  // Where the machine's lines go (the "Sending Firmware" dialog's log).
  using LogTarget = std::function<void(const std::string&)>;

  // Takes the packet time-out limit from the "FirmwareLoadRetryLimit" setting now.
  explicit FirmwareLoadMachine(AppState& app);
  ~FirmwareLoadMachine() override;

  void Log(const std::string& text) override;
  void Complete() override;

  const std::string& DeviceName() const { return m_deviceName; }
  std::uint32_t HighestRetries() const { return m_highestRetries; }
  std::uint32_t TotalRetries() const { return m_totalRetries; }
  // Compares the installed revision with the file's: 0 or 0xE2000046. The comparison line is logged
  // when they differ, and always with `logAlways`.
  ResultCode VerifyRevision(bool logAlways);
  // Loads AppState's firmware file and starts the conversation; a bad file ends the machine before
  // anything is sent. Ignored (false) unless the machine is idle.
  bool StartLoad(LogTarget target);

  // --- For the states (and for tests looking in).
  std::uint32_t PacketTimeoutLimit() const { return m_packetTimeoutLimit; }
  std::uint32_t FillCount() const { return m_fillCount; }
  void SetFillCount(std::uint32_t count) { m_fillCount = count; }
  std::uint32_t NextAddress() const { return m_nextAddress; }
  void SetNextAddress(std::uint32_t address) { m_nextAddress = address; }
  const std::string& FilePath() const { return m_filePath; }
  FirmwareImage& Image() { return m_image; }
  const std::string& Packet() const { return m_packet; }
  void SetPacket(std::string packet) { m_packet = std::move(packet); }
  void AddRetries(std::uint32_t retries);
  // A line for the dialog's log and the main window.
  void ReportText(const std::string& text);

 private:
  std::uint32_t m_packetTimeoutLimit;
  std::uint32_t m_fillCount = 0;
  std::uint32_t m_highestRetries = 0;
  std::uint32_t m_totalRetries = 0;
  std::uint32_t m_nextAddress = 0;
  LogTarget m_logTarget;
  std::string m_deviceName = "TOLA400";
  std::string m_filePath;
  FirmwareImage m_image;
  std::string m_packet;

  QuerySerialNumberState m_querySerialNumber;
  QueryRevisionState m_queryRevision;
  DetermineSpeedState m_determineSpeed;
  LoadWaitResetState m_waitReset;
  FirmwarePacketState m_lastPacket;
  FirmwareResyncState m_resyncLast;
  FirmwarePacketState m_initialPackets;
  FirmwareResyncState m_resyncInitial;
  LoadBeginDownloadState m_beginDownload;
  LoadEnterBootLoaderState m_enterBootLoader;
  VerifyExpectedDeviceState m_verifyDevice;
  QueryIState m_queryI;
};

}  // namespace tola
