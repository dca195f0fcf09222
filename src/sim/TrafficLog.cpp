#include "sim/TrafficLog.h"

#include <fmt/format.h>

namespace tola {

namespace {
// Bytes further apart than this start a new line.
constexpr std::uint64_t kBurstGapUs = 20'000;
constexpr std::size_t kMaxLineBytes = 160;
}  // namespace

TrafficLog::~TrafficLog() {
  Flush();
  if (m_file) std::fclose(m_file);
}

bool TrafficLog::Open(const std::string& path) {
  if (m_file) std::fclose(m_file);
  m_file = std::fopen(path.c_str(), "w");
  return m_file != nullptr;
}

std::string TrafficLog::Printable(const std::string& bytes) {
  std::string text;
  for (char c : bytes) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '\\') {
      text += "\\\\";
    } else if (u >= 0x20 && u < 0x7F) {
      text += c;
    } else {
      text += fmt::format("\\x{:02X}", u);
    }
  }
  return text;
}

void TrafficLog::Record(Direction direction, char byte, std::uint32_t speed, bool understood,
                        std::uint64_t timeUs) {
  if (!m_file) return;
  const bool sameBurst = m_pending && direction == m_direction && speed == m_speed &&
                         understood == m_understood && timeUs - m_lastUs <= kBurstGapUs &&
                         m_bytes.size() < kMaxLineBytes && m_bytes.back() != ';';
  if (!sameBurst) {
    Flush();
    m_pending = true;
    m_direction = direction;
    m_speed = speed;
    m_understood = understood;
    m_startUs = timeUs;
  }
  m_bytes += byte;
  m_lastUs = timeUs;
}

void TrafficLog::Note(const std::string& text, std::uint64_t timeUs) {
  if (!m_file) return;
  Flush();
  fmt::print(m_file, "{:>11.6f} -- {}\n", static_cast<double>(timeUs) / 1e6, text);
  std::fflush(m_file);
}

void TrafficLog::Flush() {
  if (!m_file || !m_pending) return;
  fmt::print(m_file, "{:>11.6f} {} {:>5} {}{}\n", static_cast<double>(m_startUs) / 1e6,
             m_direction == Direction::ToAmplifier ? "PC>AMP" : "AMP>PC", m_speed, Printable(m_bytes),
             m_understood ? "" : "   [speeds differ: not understood]");
  std::fflush(m_file);
  m_pending = false;
  m_bytes.clear();
}

}  // namespace tola
