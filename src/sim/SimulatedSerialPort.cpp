#include "sim/SimulatedSerialPort.h"

#include <algorithm>

namespace tola {

SimulatedSerialPort::SimulatedSerialPort(VirtualHost& host, Tola400Model* model)
    : m_host(host), m_model(model) {
  Attach();
}

SimulatedSerialPort::~SimulatedSerialPort() { Detach(); }

void SimulatedSerialPort::Attach() {
  if (!m_model) return;
  m_model->SetOutput([this](char byte, std::uint32_t speed) { OnModelByte(byte, speed); });
  m_model->SetUnplugHandler([this] { Unplug(); });
}

void SimulatedSerialPort::Detach() {
  if (!m_model) return;
  m_model->SetOutput(nullptr);
  m_model->SetUnplugHandler(nullptr);
}

void SimulatedSerialPort::Connect(Tola400Model* model) {
  Detach();
  m_model = model;
  Attach();
}

bool SimulatedSerialPort::Open(const std::string& name) {
  if (m_open) return true;
  m_portName = name;
  if (name.empty()) {
    SetLastError(kPortNameMissing);
    Close();
    return false;
  }
  if (m_absent.count(name) != 0 || !m_present) {
    SetLastError(kErrorFileNotFound);
    Close();
    return false;
  }
  if (m_busy.count(name) != 0) {
    SetLastError(kErrorAccessDenied);
    Close();
    return false;
  }
  m_open = true;
  m_broken = false;
  m_speed = kSpeedAfterOpen;
  m_rx.clear();
  m_lineErrors = 0;
  ++m_openCount;
  // The pause after applying the line settings.
  m_host.Sleep(kSpeedChangePauseMs);
  SetLastError(kErrorSuccess);
  return true;
}

bool SimulatedSerialPort::Close() {
  m_open = false;
  m_broken = false;
  m_rx.clear();
  return true;
}

// An operation on a port whose adapter is gone fails; the loss itself was told once, at Unplug.
bool SimulatedSerialPort::Broken(const char* /*call*/) {
  if (!m_broken) return false;
  SetLastError(kErrorDeviceNotConnected);
  return true;
}

bool SimulatedSerialPort::Read(char* buffer, std::uint32_t count, std::uint32_t& bytesRead) {
  bytesRead = 0;
  if (!m_open) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  if (Broken("ReadFile")) return false;
  while (bytesRead < count && !m_rx.empty()) {
    buffer[bytesRead++] = m_rx.front();
    m_rx.pop_front();
  }
  return true;
}

bool SimulatedSerialPort::Write(const char* bytes, std::uint32_t count) {
  if (!m_open) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  if (Broken("WriteFile")) return false;
  m_sent.append(bytes, count);
  const std::uint32_t speed = m_speed;
  std::weak_ptr<int> alive = m_alive;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t start = std::max(m_host.NowMicros(), m_txFreeUs);
    m_txFreeUs = start + ByteTimeMicros(speed);
    const char byte = bytes[i];
    Tola400Model* model = m_model;
    m_host.ScheduleAt(m_txFreeUs, [alive, model, byte, speed] {
      // The amplifier hears the byte once its stop bit is through.
      if (!alive.expired() && model) model->Receive(byte, speed);
    });
  }
  return true;
}

bool SimulatedSerialPort::Purge() {
  if (!m_open) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  if (Broken("PurgeComm")) return false;
  ++m_purgeCount;
  m_rx.clear();
  return true;
}

ResultCode SimulatedSerialPort::SetLineSpeed(std::uint32_t speed) {
  if (!IsSupportedSpeed(speed)) return kEInvalidArg;
  if (speed == m_speed) return 1;
  m_host.Sleep(kSpeedChangePauseMs);
  ResultCode result = 1;
  if (!m_open) {
    ReportPortFailure("SetCommState", kErrorInvalidHandle);
    SetLastError(kErrorInvalidHandle);
    result = 0;
  } else if (Broken("SetCommState")) {
    result = 0;
  } else {
    m_speed = speed;
  }
  m_host.Sleep(kSpeedChangePauseMs);
  return result;
}

bool SimulatedSerialPort::ClearCommError(std::uint32_t& errors) {
  errors = 0;
  if (!m_open) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  errors = m_lineErrors;
  m_lineErrors = 0;
  return true;
}

void SimulatedSerialPort::Unplug() {
  m_present = false;
  m_rx.clear();
  if (!m_open || m_broken) return;
  m_broken = true;
  TellGone();
}

void SimulatedSerialPort::OnModelByte(char byte, std::uint32_t speed) {
  const std::uint64_t start = std::max(m_host.NowMicros(), m_rxFreeUs);
  m_rxFreeUs = start + ByteTimeMicros(speed);
  std::weak_ptr<int> alive = m_alive;
  m_host.ScheduleAt(m_rxFreeUs, [this, alive, byte, speed] {
    if (!alive.expired()) Arrive(byte, speed);
  });
}

void SimulatedSerialPort::Arrive(char byte, std::uint32_t speed) {
  if (!m_open || m_broken) {
    ++m_lostBytes;
    return;
  }
  if (speed != m_speed) {
    // At another speed the UART sees framing errors, not characters.
    m_lineErrors |= kLineErrorFrame;
    ++m_lostBytes;
    return;
  }
  if (m_rx.size() >= kReceiveQueueSize) {
    m_lineErrors |= kLineErrorRxOver;
    ++m_lostBytes;
    return;
  }
  m_rx.push_back(byte);
  ++m_eventsPosted;
  PostSerialEvent(kEventRxChar);
}

}  // namespace tola
