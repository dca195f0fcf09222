// The configuration file reader over arbitrary bytes, with and without a serial number to compare.
// Whatever it hands over must fit the line it came from, a file it accepts must end on a verified
// CRC line, and every refusal comes with a text for the operator.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "formats/ConfigurationFile.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

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
  for (const std::uint16_t serial : {tola::kUnknownSerialNumber, std::uint16_t{123}}) {
    CheckingSink sink;
    const tola::ConfigurationReport report = tola::ReadConfigurationText(bytes, sink, serial);
    const tola::ResultCode r = report.code;
    Require(r == 0 || r == tola::kConfigIncomplete || r == tola::kConfigCorrupt || r == tola::kConfigSerialMismatch);
    if (r == tola::kConfigIncomplete || r == tola::kConfigCorrupt) Require(!report.text.empty() && !report.caption.empty());
    if (r == 0 || report.serialMismatch) Require(bytes.find("CRC32") != std::string_view::npos);
    Require(report.serialMismatch == (r == tola::kConfigSerialMismatch));
    if (report.serialMismatch) Require(serial != tola::kUnknownSerialNumber && report.fileSerial != serial);
  }
  return 0;
}
