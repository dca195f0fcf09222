#pragma once
// CSerialPort on a Linux tty: a non-blocking descriptor held exclusively (TIOCEXCL and flock), raw
// 8N1 without flow control, DTR and RTS held off, and a reader thread that waits in epoll for
// arrivals and posts the serial event without touching the bytes.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Host.h"
#include "serial/CSerialPort.h"

// Kept out of this header so that includers do not get the terminal macros.
struct termios;

namespace tola {

// Asks the driver of the open terminal `fd` to hand over received bytes at once rather than on its
// timer tick. True when the flag is set now; a driver without the setting (a pseudo-terminal)
// refuses and keeps its latency.
bool RequestLowLatency(int fd);

class PosixSerialPort : public CSerialPort {
 public:
  // `host` provides the pauses around line-settings changes.
  explicit PosixSerialPort(Host& host);
  ~PosixSerialPort() override;
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  bool Open(const std::string& name) override;
  bool Close() override;
  bool IsOpen() const override { return m_fd >= 0; }
  bool Read(char* buffer, std::uint32_t count, std::uint32_t& bytesRead) override;
  bool Write(const char* bytes, std::uint32_t count) override;
  bool Purge() override;
  ResultCode SetLineSpeed(std::uint32_t speed) override;
  std::uint32_t Speed() const override { return m_speed; }
  bool ClearCommError(std::uint32_t& errors) override;
  bool DeviceGone() const override { return IsOpen() && m_hungUp.load(); }

  // The device the last Open used, after resolving the name.
  const std::string& DevicePath() const { return m_devicePath; }
  // The device went away (pseudo-terminal master closed, adapter unplugged), seen by the reader
  // thread or by a failed call.
  bool HungUp() const { return m_hungUp.load(); }
  // The reader thread is running; it ends by itself when the device goes away.
  bool ReaderRunning() const { return m_readerRunning.load(); }

 private:
  // The counters behind the line-error flags, as last seen.
  struct LineCounts {
    int rxOver = 0, overrun = 0, parity = 0, frame = 0, brk = 0;
  };

  bool Fail(const std::string& call, ResultCode code);
  // A failed call: an error that means the device is gone marks it gone, silently; anything else is
  // reported as `call`.
  bool FailWith(const std::string& call, int err);
  // Marks the device gone; the sink hears of it once.
  void MarkGone();
  bool ApplyLineSettings();
  bool SetCommState(const ::termios& settings, ResultCode& code);
  void ClearModemLines();
  bool ReadCounts(LineCounts& counts, ResultCode& code) const;
  void ReaderThread();
  void StopReader();

  Host& m_host;
  int m_fd = -1;
  int m_epollFd = -1;
  int m_stopFd = -1;
  std::thread m_reader;
  std::atomic<bool> m_stop{false};
  std::atomic<bool> m_hungUp{false};
  std::atomic<bool> m_readerRunning{false};
  // The line settings last applied; their speed is the recorded speed.
  std::unique_ptr<::termios> m_lineSettings;
  std::uint32_t m_speed = 0;
  std::string m_devicePath;
  // ClearCommError runs on both threads.
  std::mutex m_countsMutex;
  LineCounts m_counts;
  bool m_countsKnown = false;
  // This descriptor set the tty's exclusive mark and must clear it.
  bool m_exclusive = false;
};

// A line for the operator when a port could not be opened for lack of permission: names the group
// that owns the device (for example "dialout") and says to join it and log in again. Takes a port
// name or a device path; empty when the device does not exist.
std::string PermissionHint(const std::string& devicePath);

}  // namespace tola
