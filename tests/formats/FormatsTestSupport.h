#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/Format.h"
#include "app/LogChannel.h"
#include "platform/VirtualHost.h"
#include "support/TempFolder.h"

namespace tola::test {

// ":" count, offset, type, data, checksum, upper-case hex, no line end. `checksumAdjust` is added
// to the correct checksum to make a broken record.
inline std::string HexRecord(std::uint8_t type, std::uint16_t offset, const std::vector<std::uint8_t>& data,
                             int checksumAdjust = 0) {
  auto sum = static_cast<unsigned>(data.size() + (offset >> 8) + (offset & 0xFFU) + type);
  std::string text = FormatText(":%02X%04X%02X", data.size(), unsigned{offset}, unsigned{type});
  for (const auto b : data) {
    text += FormatText("%02X", unsigned{b});
    sum += b;
  }
  return text + FormatText("%02X", (0x100U - (sum & 0xFFU) + static_cast<unsigned>(checksumAdjust)) & 0xFFU);
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
  BoxAnswer MessageBox(const std::string& text, const std::string& caption, BoxButtons buttons, BoxIcon icon,
                       BoxAnswer defaultButton) override {
    return host.MessageBox(text, caption, buttons, icon, defaultButton);
  }
  using LogChannel::LogLine;
  using LogChannel::LogVerbose;
  using LogChannel::MessageBox;

  const std::vector<VirtualHost::BoxRecord>& Boxes() const { return host.Boxes(); }

  VirtualHost host;
  std::vector<std::string> lines;
};

}  // namespace tola::test
