#pragma once
// The one application state shared by every page, dialog and dialogue: the persisted settings, the
// runtime values describing the connection and the amplifier, the serial port, the connection
// dialogue and at most one operation dialogue, and the log channel to the main window.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/Dialogue.h"
#include "app/LogChannel.h"
#include "app/NotifyingValue.h"
#include "app/Settings.h"
#include "platform/Host.h"
#include "serial/CSerialPort.h"

namespace tola {

class RegistryStore;

// Notification ids.
enum : std::uint32_t {
  kIdDialogueFinished = 32797,
  kIdConnectionState = 32868,
  kIdActivePage = 32869,
  kIdAdvancedMode = 32870,
  kIdBandIndex = 32871,
  kIdCommandCaption = 32872,
  kIdCommandText = 32873,
  kIdConfigurationFolder = 32875,
  kIdDeviceType = 32877,
  kIdFirmwareToSend = 32878,
  kIdFirmwareFolder = 32879,
  kIdFirmwareLoadRetryLimit = 32880,
  kIdInstalledRevision = 32881,
  kIdLoaderFlags = 32882,
  kIdProgressPosition = 32884,
  kIdProgressRange = 32885,
  kIdSerialNumber = 32886,
  kIdPort = 32887,
  kIdPortOpen = 32888,
  kIdPortSpeed = 32889,
  kIdTrace = 32891,
  kIdVerboseLogging = 32892,
  kIdAntenna = 33020,
  kIdAntennaEnable = 33021,
  kIdAttenuator = 33022,
  kIdBypass = 33023,
  kIdCapacitor = 33025,
  kIdFailedCycles = 33026,
  kIdDrainCurrent = 33027,
  kIdFault = 33029,
  kIdWatchFlag = 33030,
  kIdFrequency = 33031,
  kIdInductor = 33032,
  kIdMode = 33033,
  kIdOperate = 33034,
  kIdOperatePollInterval = 33035,
  kIdPowerDissipated = 33036,
  kIdPowerForward = 33037,
  kIdPowerInput = 33039,
  kIdPowerReflected = 33040,
  kIdSide = 33041,
  kIdSupplyVoltage = 33042,
  kIdSwr = 33044,
  kIdTemperature = 33045,
  kIdTransceiverPoll = 33046,
  kIdTunerInstalled = 33047,
  kIdTuneStatus = 33048,
  kIdPortLost = 33050,
  kIdDownloadWaiting = 33051,
  kIdFileServer = 33052,
};

// Connection states.
enum : std::uint32_t { kConnectionNone = 0, kConnectionLoader = 2, kConnectionFirmware = 3 };
// Device types.
enum : std::uint32_t { kDeviceNone = 0, kDeviceTola400 = 9 };

inline constexpr std::uint16_t kRevisionUnknown = 0;
inline constexpr std::uint16_t kRevisionLoading = 0xFFFE;
inline constexpr std::uint16_t kRevisionNotAvailable = 9999;
inline constexpr std::uint16_t kSerialNumberUnknown = 0xFFFF;

inline constexpr const char* kDefaultFileServer = "ftp.ostravel.com";

struct FirmwareToSend {
  std::uint16_t revision = 0;
  std::string path;
  bool operator==(const FirmwareToSend&) const = default;
};

// Where the main window (or the command line) shows log lines that passed their gate.
class LogSink {
 public:
  virtual ~LogSink() = default;
  virtual void OnLogLine(const std::string& text, bool verbose) = 0;
};

class AppState : public LogChannel, public SerialPortSink {
 public:
  // `store` may be null (no settings key: defaults for the run, nothing saved).
  AppState(Host& host, std::unique_ptr<CSerialPort> port, std::unique_ptr<RegistryStore> store);
  ~AppState() override;
  AppState(const AppState&) = delete;
  AppState& operator=(const AppState&) = delete;

  Host& GetHost() { return m_host; }
  CSerialPort& SerialPort() { return *m_port; }
  const CSerialPort& SerialPort() const { return *m_port; }
  RegistryStore* Store() { return m_store.get(); }

  // --- Persisted settings, in load and save order.
  PersistedNumber activePage{kIdActivePage, "ActivePage", 0};
  PersistedNumber advancedMode{kIdAdvancedMode, "AdvancedMode", 0};
  PersistedTextList commandCaptions{kIdCommandCaption, "CommandCaption%u"};
  PersistedTextList commandTexts{kIdCommandText, "CommandText%u"};
  PersistedText configurationFolder{kIdConfigurationFolder, "ConfigurationFolder"};
  // "HOST" or "HOST:PORT" of the maker's file server; empty means kDefaultFileServer.
  PersistedText fileServer{kIdFileServer, "FileServer"};
  PersistedText firmwareFolder{kIdFirmwareFolder, "FirmwareFolder"};
  PersistedNumber firmwareLoadRetryLimit{kIdFirmwareLoadRetryLimit, "FirmwareLoadRetryLimit", 10, 5, 25};
  PersistedNumber loaderFlags{kIdLoaderFlags, "LoaderFlags", 0};
  PersistedText port{kIdPort, "Port"};
  PersistedNumber trace{kIdTrace, "Trace", 0};
  PersistedNumber verboseLogging{kIdVerboseLogging, "VerboseLogging", 0};
  PersistedNumber operatePollInterval{kIdOperatePollInterval, "OperatePollInterval", 300, 100, 30000};

  // --- Runtime values.
  NotificationOnly dialogueFinished{kIdDialogueFinished};
  NotifyingValue<std::uint32_t> bandIndex{kIdBandIndex, 0};
  NotifyingValue<std::uint32_t> deviceType{kIdDeviceType, kDeviceNone};
  NotifyingValue<FirmwareToSend> firmwareToSend{kIdFirmwareToSend};
  NotifyingValue<std::uint16_t> installedRevision{kIdInstalledRevision, kRevisionUnknown};
  NotifyingValue<std::uint32_t> progressPosition{kIdProgressPosition, 0};
  NotifyingValue<std::uint32_t> progressRange{kIdProgressRange, 0};
  NotifyingValue<std::uint16_t> serialNumber{kIdSerialNumber, kSerialNumberUnknown};
  NotifyingValue<std::uint32_t> portOpen{kIdPortOpen, 0};
  NotificationOnly portSpeed{kIdPortSpeed};
  // 1 once the open port's device has gone away (hang-up, adapter pulled), and until a port is
  // opened again. The running machine has then ended with ERROR_DEVICE_NOT_CONNECTED.
  NotifyingValue<std::uint32_t> portLost{kIdPortLost, 0};
  // 1 when the TOLA400's bootstrap loader was found waiting in the middle of a download (a load cut
  // short), at a packet boundary: the next load goes on with packets, without "D". Forgotten with
  // the device information.
  NotifyingValue<std::uint32_t> downloadWaiting{kIdDownloadWaiting, 0};
  NotifyingValue<std::uint32_t> watchFlag{kIdWatchFlag, 0};

  // --- Operate values, stored as the amplifier reports them.
  NotifyingValue<std::uint32_t> antenna{kIdAntenna, 1};
  NotifyingValue<std::string> antennaEnable{kIdAntennaEnable};
  NotifyingValue<char> attenuator{kIdAttenuator, 0};
  NotifyingValue<char> bypass{kIdBypass, 0};
  NotifyingValue<std::uint8_t> capacitor{kIdCapacitor, 0};
  NotifyingValue<std::uint32_t> failedCycles{kIdFailedCycles, 0};
  NotifyingValue<std::uint16_t> drainCurrent{kIdDrainCurrent, 0};
  NotifyingValue<char> fault{kIdFault, 0};
  NotifyingValue<std::uint16_t> frequency{kIdFrequency, 0};
  NotifyingValue<std::uint8_t> inductor{kIdInductor, 0};
  NotifyingValue<char> mode{kIdMode, 'B'};
  NotifyingValue<std::uint32_t> operate{kIdOperate, 0};
  NotifyingValue<std::uint16_t> powerDissipated{kIdPowerDissipated, 0};
  NotifyingValue<std::uint16_t> powerForward{kIdPowerForward, 0};
  NotifyingValue<std::uint16_t> powerInput{kIdPowerInput, 0};
  NotifyingValue<std::uint16_t> powerReflected{kIdPowerReflected, 0};
  NotifyingValue<char> side{kIdSide, 0};
  NotifyingValue<std::uint16_t> supplyVoltage{kIdSupplyVoltage, 0};
  NotifyingValue<std::uint16_t> swr{kIdSwr, 0};
  NotifyingValue<std::uint16_t> temperature{kIdTemperature, 0};
  NotifyingValue<std::uint32_t> transceiverPoll{kIdTransceiverPoll, 0};
  NotifyingValue<std::uint32_t> tunerInstalled{kIdTunerInstalled, 0};
  NotifyingValue<std::string> tuneStatus{kIdTuneStatus};

  // The connection state: forced to 0 while the port is closed; notified only on a change.
  std::uint32_t ConnectionState() const { return m_connectionState.Get(); }
  void SetConnectionState(std::uint32_t state);
  NotifyingValueBase& ConnectionStateValue() { return m_connectionState; }

  // --- Settings.
  // The file server to copy firmware from: the setting, else the maker's.
  std::string FileServer() const { return fileServer.Get().empty() ? kDefaultFileServer : fileServer.Get(); }
  void LoadSettings();
  void SaveSettings();
  // The default folder `subFolder` under the per-user data folder's "Ostravel", created on the way;
  // empty when no base folder is known.
  std::string DefaultFolder(const std::string& subFolder);
  // Asks to create a missing folder (every missing level); true when the folder exists afterwards.
  bool EnsureFolderExists(const std::string& path);
  bool SavePlacement(const WindowPlacement& placement);
  bool RestorePlacement(WindowPlacement& placement);
  // One line saying what is wrong with the settings file (unreadable, a folder, too large, partly
  // damaged, or missing when `namedByUser`), empty when nothing is. A missing file that nobody
  // named is an ordinary first run.
  std::string SettingsFileProblem(bool namedByUser) const;

  // --- The serial port.
  void ClosePort();
  bool PortLost() const { return portLost.Get() != 0 || m_port->DeviceGone(); }
  bool SetPortSpeed(std::uint32_t speed);
  bool SendCommandText(const std::string& text);
  // Bytes sent as they are (the firmware packets).
  bool SendBytes(const std::string& bytes);

  // --- The amplifier's speed and identity.
  // Asks the running firmware to move to `speed` ("^brp0;" to "^brp3;"), then pauses 50 ms; only
  // with connection state 3 and a supported speed.
  bool SendSpeedCommand(std::uint32_t speed);
  // Moves the amplifier and then the port to `speed`; nothing when the port is already there.
  void SetAmplifierSpeed(std::uint32_t speed);
  bool IsExpectedDevice() const { return deviceType.Get() == kDeviceTola400; }
  // Forgets the revision and serial number, and the connection state.
  void ClearDeviceInfo();

  // --- Dialogues.
  Dialogue* ConnectionMachine() { return m_connectionMachine.get(); }
  Dialogue* OperationMachine() { return m_operationMachine.get(); }
  // Changes whenever the operation machine is replaced or destroyed: who installed a machine
  // compares this, not the machine's address, which a later machine may reuse.
  std::uint64_t OperationGeneration() const { return m_operationGeneration; }
  void SetConnectionMachine(std::unique_ptr<Dialogue> machine) { m_connectionMachine = std::move(machine); }
  // Destroys an idle present operation machine and installs `machine`. A running one is kept
  // (replacing it is outside the contract) and false returned.
  bool ReplaceOperationMachine(std::unique_ptr<Dialogue> machine);
  // Forgets the operation machine; it is deleted once the present event has been handled, since
  // the call may come from inside one of its own handlers.
  void DestroyOperationMachine();

  // What a serial event does once it reaches the user-interface thread (the main window's routing).
  void SetSerialEventHandler(std::function<void()> handler) { m_serialEventHandler = std::move(handler); }

  // --- Log channel.
  void SetLogSink(LogSink* sink) { m_logSink = sink; }
  using LogChannel::LogLine;
  using LogChannel::LogVerbose;
  using LogChannel::MessageBox;
  void LogLine(const std::string& text) override;
  void LogVerbose(const std::string& text) override;
  BoxAnswer MessageBox(const std::string& text, const std::string& caption, BoxButtons buttons, BoxIcon icon,
                       BoxAnswer defaultButton) override;

  // --- SerialPortSink.
  void PostSerialEvent(std::uint32_t wParam) override;
  void PortFailure(const std::string& call, ResultCode code) override;
  void PortGone() override;

 private:
  void ReportPortFailureNow(const std::string& call, ResultCode code);
  void OnPortGone();
  std::vector<PersistedValue*> PersistedValues();
  bool OnUiThread() const { return std::this_thread::get_id() == m_uiThread; }

  Host& m_host;
  std::unique_ptr<CSerialPort> m_port;
  std::unique_ptr<RegistryStore> m_store;
  bool m_keyOpen = false;
  ResultCode m_storeLoadResult = kErrorSuccess;
  std::thread::id m_uiThread;
  NotifyingValue<std::uint32_t> m_connectionState{kIdConnectionState, kConnectionNone};
  std::unique_ptr<Dialogue> m_connectionMachine;
  std::unique_ptr<Dialogue> m_operationMachine;
  std::uint64_t m_operationGeneration = 0;
  std::function<void()> m_serialEventHandler;
  // A serial event is posted and not yet handled; set by the reader thread, cleared on this one.
  std::atomic<bool> m_serialEventPending{false};
  LogSink* m_logSink = nullptr;
  // Work posted from other threads checks this before touching a destroyed AppState.
  std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

}  // namespace tola
