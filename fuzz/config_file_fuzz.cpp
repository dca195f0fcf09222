// The configuration file reader over arbitrary bytes, with the serial-number safeguard in both
// modes. Whatever it hands over must fit the line it came from, and a file it accepts must end on
// a verified CRC line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "formats/ConfigurationFile.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

class QuietLog : public tola::LogChannel {
 public:
  void LogLine(const std::string& text) override { m_lines += text.size() + 1; }
  void LogVerbose(const std::string&) override {}
  using LogChannel::MessageBox;
  tola::BoxAnswer MessageBox(const std::string&, const std::string&, tola::BoxButtons buttons, tola::BoxIcon,
                             tola::BoxAnswer) override {
    ++m_boxes;
    if (buttons != tola::BoxButtons::YesNo) return tola::BoxAnswer::Ok;
    return m_boxes % 2 == 1 ? tola::BoxAnswer::Yes : tola::BoxAnswer::No;
  }
  using LogChannel::LogLine;
  std::size_t m_lines = 0;
  unsigned m_boxes = 0;
};

class CheckingSink : public tola::ConfigurationSink {
 public:
  void AddMem2Byte(std::uint32_t bank, std::uint8_t, std::uint8_t) override {
    Require(bank <= 0xFF);
    ++m_mem2;
  }
  void AddMem3Block(std::uint16_t, unsigned count, const std::uint8_t* data) override {
    Require(count <= 0xFF);
    Require(data != nullptr);
    volatile std::uint8_t touch = 0;
    for (unsigned i = 0; i < count; ++i) touch = static_cast<std::uint8_t>(touch ^ data[i]);
    ++m_mem3;
  }
  std::size_t m_mem2 = 0, m_mem3 = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (const bool advanced : {false, true}) {
    QuietLog log;
    CheckingSink sink;
    const tola::ResultCode r = tola::ReadConfigurationText(bytes, sink, 123, advanced, log);
    Require(r == 0 || r == tola::kConfigIncomplete || r == tola::kConfigCorrupt || r == tola::kConfigSerialMismatch);
    if (r == tola::kConfigIncomplete || r == tola::kConfigCorrupt) Require(log.m_lines > 0);
    if (r == 0) Require(bytes.find("CRC32") != std::string_view::npos);
    if (r == tola::kConfigSerialMismatch) Require(log.m_boxes > 0);
  }
  return 0;
}
