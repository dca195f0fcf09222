#pragma once
// CSerialPort on the Windows communications functions: a COM port opened exclusively for
// overlapped I/O, raw 8N1 without flow control with DTR and RTS held off, and a reader thread that
// waits for received characters and posts the serial event without touching the bytes.

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/Host.h"
#include "platform/Win32.h"
#include "serial/CSerialPort.h"

namespace tola {

class Win32SerialPort : public CSerialPort {
 public:
  // `host` provides the pauses around line-settings changes.
  explicit Win32SerialPort(Host& host);
  ~Win32SerialPort() override;
  Win32SerialPort(const Win32SerialPort&) = delete;
  Win32SerialPort& operator=(const Win32SerialPort&) = delete;

  bool Open(const std::string& name) override;
  bool Close() override;
  bool IsOpen() const override { return m_port != INVALID_HANDLE_VALUE && m_port != nullptr; }
  bool Read(char* buffer, std::uint32_t count, std::uint32_t& bytesRead) override;
  bool Write(const char* bytes, std::uint32_t count) override;
  bool Purge() override;
  ResultCode SetLineSpeed(std::uint32_t speed) override;
  std::uint32_t Speed() const override { return m_lineSettings.BaudRate; }
  bool ClearCommError(std::uint32_t& errors) override;
  bool DeviceGone() const override { return IsOpen() && m_gone.load(); }

  // The reader thread is running; it ends by itself when the device goes away.
  bool ReaderRunning() const { return m_readerRunning.load(); }

 private:
  static DWORD WINAPI ReaderEntry(void* self);
  DWORD ReaderThread();
  bool OpenFailed(ResultCode code);
  bool ReportAndFailOpen(const char* call, ResultCode code);
  // A failed call: an error that means the device is gone marks it gone, silently; anything else
  // is reported as `call`.
  bool FailCall(const char* call, ResultCode code);
  void MarkGone();
  bool HoldName(const std::string& name);
  bool ApplyLineSettings();
  bool ApplyTimeouts();
  bool WaitForCompletion(OVERLAPPED& overlapped, DWORD& count);
  // The end of an overlapped ReadFile or WriteFile (`call`) that returned `started`.
  bool Complete(const char* call, BOOL started, OVERLAPPED& overlapped, DWORD& done);

  Host& m_host;
  COMMPROP m_capabilities{};
  // The settings last applied; their baud rate is the recorded speed.
  DCB m_lineSettings{};
  HANDLE m_ioEvent = nullptr;
  HANDLE m_stopEvent = nullptr;
  std::atomic<std::uint32_t> m_stop{0};
  HANDLE m_port = INVALID_HANDLE_VALUE;
  HANDLE m_reader = nullptr;
  // Names this port as taken for as long as it is open (see HoldName).
  HANDLE m_nameHold = nullptr;
  std::atomic<bool> m_readerRunning{false};
  std::atomic<bool> m_gone{false};
};

}  // namespace tola
