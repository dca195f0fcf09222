#include "bench/Meter.h"

#include <algorithm>

namespace tola::bench {

void Meter::CloseExchange(bool expired) {
  std::uint64_t exchange = m_wireUs;
  if (expired) {
    exchange = std::max(exchange, std::uint64_t{m_waitMs} * 1000);
  } else {
    ++m_answered;
  }
  m_boundUs += exchange;
  m_wireUs = 0;
  m_open = false;
}

void Meter::TimerArmed(unsigned id, std::uint32_t ms) {
  // Re-arming ends the exchange under way without an expiry.
  if (m_open) CloseExchange(false);
  m_open = true;
  m_timer = id;
  m_waitMs = ms;
}

void Meter::TimerKilled(unsigned id) {
  if (m_open && id == m_timer) CloseExchange(false);
}

void Meter::TimerExpired(unsigned id) {
  if (m_open && id == m_timer) CloseExchange(true);
}

std::uint64_t Meter::BoundMicros() {
  if (m_open) CloseExchange(false);
  m_boundUs += m_wireUs;
  m_wireUs = 0;
  return m_boundUs;
}

void Meter::Reset() { *this = Meter(); }

MeteredHost::MeteredHost(Host& inner, Meter& meter) : m_inner(inner), m_meter(meter) {
  m_inner.SetTimerHandler([this](unsigned id) {
    m_meter.TimerExpired(id);
    DeliverTimer(id);
  });
}

void MeteredHost::SetTimer(unsigned id, std::uint32_t ms) {
  m_meter.TimerArmed(id, ms);
  m_inner.SetTimer(id, ms);
}

void MeteredHost::KillTimer(unsigned id) {
  m_meter.TimerKilled(id);
  m_inner.KillTimer(id);
}

void MeteredHost::Sleep(std::uint32_t ms) {
  m_meter.Paused(ms);
  m_inner.Sleep(ms);
}

BoxAnswer MeteredHost::MessageBox(const std::string& text, const std::string& caption, BoxButtons buttons,
                                  BoxIcon icon, BoxAnswer defaultButton) {
  return m_inner.MessageBox(text, caption, buttons, icon, defaultButton);
}

MeteredPort::MeteredPort(std::unique_ptr<CSerialPort> inner, Meter& meter)
    : m_inner(std::move(inner)), m_meter(meter) {
  m_inner->SetSink(this);
}

bool MeteredPort::Open(const std::string& name) {
  m_portName = name;
  return m_inner->Open(name);
}

bool MeteredPort::Read(char* buffer, std::uint32_t count, std::uint32_t& bytesRead) {
  const bool ok = m_inner->Read(buffer, count, bytesRead);
  if (ok) m_meter.Received(bytesRead, m_inner->Speed());
  return ok;
}

bool MeteredPort::Write(const char* bytes, std::uint32_t count) {
  const bool ok = m_inner->Write(bytes, count);
  if (ok) m_meter.Sent(count, m_inner->Speed());
  return ok;
}

}  // namespace tola::bench
