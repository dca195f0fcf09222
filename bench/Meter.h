#pragma once
// Measures how close a conversation comes to what the wire allows. Every exchange (from the
// bytes sent before a machine arms its timer to the accepted answer or the expiry) is bounded
// below by its bytes on the wire at 10 bits a byte, or by its wait when that wait ran out; pauses
// the program must make (speed changes) count as they are.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/Host.h"
#include "serial/CSerialPort.h"

namespace tola::bench {

class Meter {
 public:
  void Sent(std::uint32_t bytes, std::uint32_t speed) { AddWire(bytes, speed); m_bytesOut += bytes; }
  void Received(std::uint32_t bytes, std::uint32_t speed) { AddWire(bytes, speed); m_bytesIn += bytes; }
  void TimerArmed(unsigned id, std::uint32_t ms);
  void TimerKilled(unsigned id);
  void TimerExpired(unsigned id);
  void Paused(std::uint32_t ms) { m_boundUs += std::uint64_t{ms} * 1000; }

  // Closes an open exchange and returns the bound in microseconds since Reset.
  std::uint64_t BoundMicros();
  void Reset();
  std::uint64_t BytesOut() const { return m_bytesOut; }
  std::uint64_t BytesIn() const { return m_bytesIn; }
  // Exchanges that ended with an answer (the ones where a turnaround on the line costs time).
  std::uint64_t Answered() const { return m_answered; }

 private:
  void AddWire(std::uint32_t bytes, std::uint32_t speed) {
    if (speed != 0) m_wireUs += std::uint64_t{bytes} * 10u * 1000000u / speed;
  }
  void CloseExchange(bool expired);

  bool m_open = false;
  unsigned m_timer = 0;
  std::uint32_t m_waitMs = 0;
  std::uint64_t m_wireUs = 0;  // of the exchange under way
  std::uint64_t m_boundUs = 0;
  std::uint64_t m_bytesOut = 0;
  std::uint64_t m_bytesIn = 0;
  std::uint64_t m_answered = 0;
};

// A Host that forwards to another and tells the meter about timers and pauses.
class MeteredHost : public Host {
 public:
  MeteredHost(Host& inner, Meter& meter);
  void SetTimer(unsigned id, std::uint32_t ms) override;
  void KillTimer(unsigned id) override;
  std::uint32_t TickCount() const override { return m_inner.TickCount(); }
  void Sleep(std::uint32_t ms) override;
  void Post(std::function<void()> work) override { m_inner.Post(std::move(work)); }
  LocalTime Now() const override { return m_inner.Now(); }
  using Host::MessageBox;
  BoxAnswer MessageBox(const std::string& text, const std::string& caption, BoxButtons buttons, BoxIcon icon,
                       BoxAnswer defaultButton) override;

 private:
  Host& m_inner;
  Meter& m_meter;
};

// A port that forwards to another and tells the meter what crossed the wire.
class MeteredPort : public CSerialPort, public SerialPortSink {
 public:
  MeteredPort(std::unique_ptr<CSerialPort> inner, Meter& meter);
  bool Open(const std::string& name) override;
  bool Close() override { return m_inner->Close(); }
  bool IsOpen() const override { return m_inner->IsOpen(); }
  bool Read(char* buffer, std::uint32_t count, std::uint32_t& bytesRead) override;
  bool Write(const char* bytes, std::uint32_t count) override;
  bool Purge() override { return m_inner->Purge(); }
  ResultCode SetLineSpeed(std::uint32_t speed) override { return m_inner->SetLineSpeed(speed); }
  std::uint32_t Speed() const override { return m_inner->Speed(); }
  bool ClearCommError(std::uint32_t& errors) override { return m_inner->ClearCommError(errors); }

  void PostSerialEvent(std::uint32_t wParam) override { CSerialPort::PostSerialEvent(wParam); }
  void PortFailure(const std::string& call, ResultCode code) override { ReportPortFailure(call, code); }

 private:
  std::unique_ptr<CSerialPort> m_inner;
  Meter& m_meter;
};

}  // namespace tola::bench
