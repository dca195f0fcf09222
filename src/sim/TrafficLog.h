#pragma once
// A time-stamped record of what crossed the simulator's line in both directions, one line per
// burst: time in seconds, direction, line speed, the bytes in printable form, and a note when the
// other end could not understand them (the speeds differed).

#include <cstdint>
#include <cstdio>
#include <string>

namespace tola {

class TrafficLog {
 public:
  enum class Direction { ToAmplifier, FromAmplifier };

  TrafficLog() = default;
  ~TrafficLog();
  TrafficLog(const TrafficLog&) = delete;
  TrafficLog& operator=(const TrafficLog&) = delete;

  // Opens (truncates) the log file; false when it cannot be created.
  bool Open(const std::string& path);
  bool IsOpen() const { return m_file != nullptr; }

  // One byte at `timeUs`; `understood` is false when it arrived at a speed the receiver was not
  // running at. Bytes of one direction, speed and fate that follow each other closely share a line.
  void Record(Direction direction, char byte, std::uint32_t speed, bool understood, std::uint64_t timeUs);
  // A free-form event line ("restarting", "unplugged").
  void Note(const std::string& text, std::uint64_t timeUs);
  void Flush();
  // Time of the last byte recorded.
  std::uint64_t LastRecordUs() const { return m_lastUs; }

  // The printable form used in the log: printable ASCII as it is, backslash doubled, others \xNN.
  static std::string Printable(const std::string& bytes);

 private:
  std::FILE* m_file = nullptr;
  bool m_pending = false;
  Direction m_direction = Direction::ToAmplifier;
  std::uint32_t m_speed = 0;
  bool m_understood = true;
  std::uint64_t m_startUs = 0;
  std::uint64_t m_lastUs = 0;
  std::string m_bytes;
};

}  // namespace tola
