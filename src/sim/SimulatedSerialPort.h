#pragma once
// The serial port of the tests: a CSerialPort on a VirtualHost wired to a Tola400Model (or to
// nothing). Each byte travels at its wire time, 10 bits at the line speed, and is understood by the
// other end only when both ends run at the same speed; arrivals post the serial event as the
// reader thread of a real port would.

#include <cstdint>
#include <deque>
#include <memory>
#include <set>
#include <string>

#include "platform/VirtualHost.h"
#include "serial/CSerialPort.h"
#include "sim/Tola400Model.h"

namespace tola {

class SimulatedSerialPort : public CSerialPort {
 public:
  static constexpr std::size_t kReceiveQueueSize = 4096;
  // Line-error flags as the port reports them.
  static constexpr std::uint32_t kLineErrorRxOver = 0x0001;
  static constexpr std::uint32_t kLineErrorFrame = 0x0008;

  // `model` may be null: a port with nothing connected. The model must run on a clock of `host`.
  SimulatedSerialPort(VirtualHost& host, Tola400Model* model);
  ~SimulatedSerialPort() override;
  SimulatedSerialPort(const SimulatedSerialPort&) = delete;
  SimulatedSerialPort& operator=(const SimulatedSerialPort&) = delete;

  bool Open(const std::string& name) override;
  bool Close() override;
  bool IsOpen() const override { return m_open; }
  bool Read(char* buffer, std::uint32_t count, std::uint32_t& bytesRead) override;
  bool Write(const char* bytes, std::uint32_t count) override;
  bool Purge() override;
  ResultCode SetLineSpeed(std::uint32_t speed) override;
  std::uint32_t Speed() const override { return m_speed; }
  bool ClearCommError(std::uint32_t& errors) override;
  bool DeviceGone() const override { return m_open && m_broken; }

  // Connects another amplifier (or none); bytes on their way to the old one still reach it.
  void Connect(Tola400Model* model);
  Tola400Model* Model() const { return m_model; }

  // Names that Open refuses: as not present (kErrorFileNotFound) or held by another program
  // (kErrorAccessDenied).
  void SetAbsentNames(std::set<std::string> names) { m_absent = std::move(names); }
  void SetBusyNames(std::set<std::string> names) { m_busy = std::move(names); }

  // The adapter is pulled out: an open port stays open but every operation fails until it is
  // closed, and it cannot be opened again until Replug.
  void Unplug();
  void Replug() { m_present = true; }
  bool Present() const { return m_present; }

  // Everything written since the port was built, in order.
  const std::string& Sent() const { return m_sent; }
  void ClearSent() { m_sent.clear(); }
  std::size_t Buffered() const { return m_rx.size(); }
  std::uint32_t OpenCount() const { return m_openCount; }
  std::uint32_t PurgeCount() const { return m_purgeCount; }
  std::uint32_t EventsPosted() const { return m_eventsPosted; }
  // Bytes the amplifier sent that this port did not understand (speeds differed) or did not take
  // (closed, unplugged, queue full).
  std::uint32_t LostBytes() const { return m_lostBytes; }

 private:
  bool Broken(const char* call);
  void OnModelByte(char byte, std::uint32_t speed);
  void Arrive(char byte, std::uint32_t speed);
  void Attach();
  void Detach();

  VirtualHost& m_host;
  Tola400Model* m_model = nullptr;
  std::shared_ptr<int> m_alive = std::make_shared<int>(0);

  bool m_open = false;
  bool m_present = true;
  bool m_broken = false;  // opened before the adapter was pulled out
  std::uint32_t m_speed = kSpeedAfterOpen;
  std::deque<char> m_rx;
  std::uint32_t m_lineErrors = 0;
  std::uint64_t m_txFreeUs = 0;  // when the transmit line is free again
  std::uint64_t m_rxFreeUs = 0;  // when the amplifier's transmit line is free again

  std::set<std::string> m_absent;
  std::set<std::string> m_busy;
  std::string m_sent;
  std::uint32_t m_openCount = 0;
  std::uint32_t m_purgeCount = 0;
  std::uint32_t m_eventsPosted = 0;
  std::uint32_t m_lostBytes = 0;
};

}  // namespace tola
