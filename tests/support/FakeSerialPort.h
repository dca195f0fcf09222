#pragma once
// A scripted serial port for engine tests: records what is written, and delivers bytes that the
// test chooses as the reader thread would (posting the serial event). And a sink that records what
// a real port hands over.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "serial/CSerialPort.h"

namespace tola::test {

class FakeSerialPort : public CSerialPort {
 public:
  bool Open(const std::string& name) override {
    if (m_open) return true;
    m_portName = name;
    if (name.empty()) {
      SetLastError(kPortNameMissing);
      return false;
    }
    m_open = true;
    m_speed = kSpeedAfterOpen;
    return true;
  }
  bool Close() override { m_open = false; return true; }
  bool IsOpen() const override { return m_open; }
  bool Read(char* buffer, std::uint32_t count, std::uint32_t& bytesRead) override {
    bytesRead = 0;
    if (Closed()) return false;
    bytesRead = static_cast<std::uint32_t>(rx.copy(buffer, count));
    rx.erase(0, bytesRead);
    return true;
  }
  bool Write(const char* bytes, std::uint32_t count) override {
    if (Closed()) return false;
    writes.emplace_back(bytes, count);
    if (responder) {
      const std::string reply = responder(writes.back());
      if (!reply.empty()) Deliver(reply);
    }
    return true;
  }
  bool Purge() override {
    if (Closed()) return false;
    ++purgeCount;
    rx.clear();
    return true;
  }
  ResultCode SetLineSpeed(std::uint32_t speed) override {
    if (!IsSupportedSpeed(speed)) return kEInvalidArg;
    m_speed = speed;
    return 1;
  }
  std::uint32_t Speed() const override { return m_speed; }
  bool ClearCommError(std::uint32_t& errors) override { return errors = 0, m_open; }

  // Bytes arriving from the amplifier: buffered, then one serial event.
  void Deliver(const std::string& bytes) {
    rx += bytes;
    PostSerialEvent(kEventRxChar);
  }
  void Fail(const std::string& call, ResultCode code) { ReportPortFailure(call, code); }

  // Answers each write at once, as a scripted device would; an empty answer is silence.
  std::function<std::string(const std::string& written)> responder;
  std::string rx;
  std::vector<std::string> writes;
  int purgeCount = 0;

 private:
  bool Closed() const {
    if (!m_open) SetLastError(kErrorInvalidHandle);
    return !m_open;
  }
  bool m_open = false;
  std::uint32_t m_speed = 9600;
};

// Everything `port` has received and not yet handed over.
inline std::string ReadAvailable(CSerialPort& port) {
  std::string text;
  char buffer[64];
  std::uint32_t n = 0;
  while (port.Read(buffer, sizeof buffer, n) && n > 0) text.append(buffer, n);
  return text;
}

// Records what a port hands over; called from a reader thread as well as the test's.
class RecordingPortSink : public SerialPortSink {
 public:
  void PostSerialEvent(std::uint32_t wParam) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_events.push_back(wParam);
    m_changed.notify_all();
  }
  void PortFailure(const std::string& call, ResultCode code) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failures.emplace_back(call, code);
    m_changed.notify_all();
  }
  void PortGone() override { ++gone; }
  std::atomic<int> gone{0};

  // Waits (5 s at most, a bound that only catches hangs) until `count` events arrived in all.
  bool WaitForEvents(std::size_t count) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::seconds(5), [&] { return m_events.size() >= count; });
  }
  std::vector<std::uint32_t> Events() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_events;
  }
  std::vector<std::pair<std::string, ResultCode>> Failures() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_failures;
  }

 private:
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<std::uint32_t> m_events;
  std::vector<std::pair<std::string, ResultCode>> m_failures;
};

}  // namespace tola::test
