#pragma once
// The one path to the amplifier: a serial port opened exclusively at 38,400 bit/s 8N1 without flow
// control, whose reader thread only notices arrivals and posts the serial event; the bytes are read
// on the user-interface thread by whoever handles that event.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/ResultCode.h"

namespace tola {

class Host;

// Where a port delivers its serial events and failure reports (AppState).
class SerialPortSink {
 public:
  virtual ~SerialPortSink() = default;
  // Called on the reader thread: must post and never wait. wParam: low 16 bits event mask
  // (0x0001 received character), high 16 bits line-error flags.
  virtual void PostSerialEvent(std::uint32_t wParam) = 0;
  // A failed system call of the port, from either thread. A report from another thread than the
  // user-interface thread is handed over without waiting.
  virtual void PortFailure(const std::string& call, ResultCode code) = 0;
  // The device went away (hang-up, adapter pulled). Said once per open, from either thread; must
  // post and never wait.
  virtual void PortGone() {}
};

class CSerialPort {
 public:
  static constexpr std::array<std::uint32_t, 4> kSpeeds{4800, 9600, 19200, 38400};
  static constexpr std::uint32_t kSpeedAfterOpen = 38400;
  static constexpr std::uint32_t kSpeedChangePauseMs = 50;
  static constexpr std::uint32_t kEventRxChar = 0x0001;

  static constexpr bool IsSupportedSpeed(std::uint32_t speed) {
    for (auto s : kSpeeds) {
      if (s == speed) return true;
    }
    return false;
  }

  virtual ~CSerialPort() = default;

  void SetSink(SerialPortSink* sink) { m_sink = sink; }

  // Opens `name` exclusively; success at once (changing nothing) if already open. On failure the
  // port is closed again and the last error holds the cause (0xE200000F for an empty name).
  virtual bool Open(const std::string& name) = 0;
  // Stops the reader thread and closes the device. Harmless when closed.
  virtual bool Close() = 0;
  virtual bool IsOpen() const = 0;
  // Returns at once with what the driver holds, 0 to `count` bytes. Closed: false, last error 6.
  virtual bool Read(char* buffer, std::uint32_t count, std::uint32_t& bytesRead) = 0;
  // True only when all `count` bytes were written. Closed: false, last error 6.
  virtual bool Write(const char* bytes, std::uint32_t count) = 0;
  // Discards what was received and not read; the transmit side is never purged.
  virtual bool Purge() = 0;
  // 1 on success or when already at `speed`; 0 when the system refused; E_INVALIDARG for a speed
  // outside the four supported, with nothing changed.
  virtual ResultCode SetLineSpeed(std::uint32_t speed) = 0;
  // The recorded speed of the line settings.
  virtual std::uint32_t Speed() const = 0;
  // Reads and clears the line-error flags.
  virtual bool ClearCommError(std::uint32_t& errors) = 0;
  // The device went away while open: every operation fails with ERROR_DEVICE_NOT_CONNECTED,
  // without a report of its own, until the port is closed and opened again.
  virtual bool DeviceGone() const { return false; }

  // The name given to the last Open, without any device prefix.
  const std::string& PortName() const { return m_portName; }

  // Reports a failed system call as a log line and a "COM Port Error" box (through the sink).
  void ReportPortFailure(const std::string& call, ResultCode code) {
    if (m_sink) m_sink->PortFailure(call, code);
  }

 protected:
  // Where every operation on the port starts: a closed port fails with ERROR_INVALID_HANDLE, one
  // whose device went away (told once through the sink) with ERROR_DEVICE_NOT_CONNECTED; neither
  // is reported.
  bool Usable() const {
    if (!IsOpen()) {
      SetLastError(kErrorInvalidHandle);
      return false;
    }
    return !DeviceGone() || Gone();
  }
  // The loss is one state, told once through the sink; every call after it would only repeat it.
  static bool Gone() {
    SetLastError(kErrorDeviceNotConnected);
    return false;
  }

  void PostSerialEvent(std::uint32_t wParam) {
    if (m_sink) m_sink->PostSerialEvent(wParam);
  }
  void TellGone() {
    if (m_sink) m_sink->PortGone();
  }

  std::string m_portName;
  SerialPortSink* m_sink = nullptr;
};

// The serial port of the system the program runs on; `host` provides the pauses around line-settings
// changes.
std::unique_ptr<CSerialPort> MakeSystemSerialPort(Host& host);

}  // namespace tola
