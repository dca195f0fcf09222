#pragma once
// Helpers for the format tests: Intel HEX record text, and a log channel that records lines and
// answers boxes from a VirtualHost script. Folders and files come from support/TempFolder.h.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/LogChannel.h"
#include "platform/VirtualHost.h"
#include "support/TempFolder.h"

namespace tola::test {

// ":" count, offset, type, data, checksum, upper-case hex, no line end. `checksumAdjust` is added
// to the correct checksum to make a broken record.
inline std::string HexRecord(std::uint8_t type, std::uint16_t offset, const std::vector<std::uint8_t>& data,
                             int checksumAdjust = 0) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text = ":";
  unsigned sum = 0;
  auto put = [&](std::uint8_t b) {
    text += kDigits[b >> 4];
    text += kDigits[b & 0x0F];
    sum += b;
  };
  put(static_cast<std::uint8_t>(data.size()));
  put(static_cast<std::uint8_t>(offset >> 8));
  put(static_cast<std::uint8_t>(offset & 0xFF));
  put(type);
  for (const auto b : data) put(b);
  const auto checksum = static_cast<std::uint8_t>(0x100U - (sum & 0xFFU) + static_cast<unsigned>(checksumAdjust));
  text += kDigits[checksum >> 4];
  text += kDigits[checksum & 0x0F];
  return text;
}

inline std::string DataRecord(std::uint16_t offset, const std::vector<std::uint8_t>& data) {
  return HexRecord(0x00, offset, data);
}
inline std::string EofRecord() { return ":00000001FF"; }

// Records the lines; boxes go to the host, whose script answers them.
class RecordingLog : public LogChannel {
 public:
  void LogLine(const std::string& text) override { lines.push_back(text); }
  void LogVerbose(const std::string&) override {}
  BoxAnswer MessageBox(const std::string& text, const std::string& caption, BoxButtons buttons,
                       BoxIcon icon) override {
    return host.MessageBox(text, caption, buttons, icon);
  }
  using LogChannel::LogLine;
  using LogChannel::LogVerbose;

  const std::vector<VirtualHost::BoxRecord>& Boxes() const { return host.Boxes(); }

  VirtualHost host;
  std::vector<std::string> lines;
};

}  // namespace tola::test
