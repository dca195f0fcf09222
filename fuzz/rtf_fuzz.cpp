// The RTF reader over arbitrary bytes. It must refuse or read every input without fault, hand over
// only valid UTF-8 in non-empty runs, and keep the model within a few times the input's size.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "formats/RtfReader.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// Shortest forms only, no surrogates, nothing above U+10FFFF.
bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
      length = 1;
      cp = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      cp = lead & 0x1FU;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      cp = lead & 0x0FU;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      cp = lead & 0x07U;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto b = static_cast<unsigned char>(text[i + k]);
      if ((b & 0xC0U) != 0x80U) return false;
      cp = (cp << 6) | (b & 0x3FU);
    }
    if ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return false;
    if (cp >= 0xD800 && cp <= 0xDFFF) return false;
    i += length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const tola::RtfReadResult result = tola::ReadRtf(bytes);
  if (!bytes.starts_with("{\\rtf")) Require(!result.Ok());
  if (!result.Ok()) {
    Require(result.text.paragraphs.empty());
    return 0;
  }
  std::size_t textBytes = 0, runs = 0;
  for (const tola::StyledParagraph& paragraph : result.text.paragraphs) {
    for (const tola::StyledRun& run : paragraph.runs) {
      Require(!run.text.empty());
      Require(IsUtf8(run.text));
      Require(run.format.halfPoints >= tola::kMinRtfHalfPoints && run.format.halfPoints <= tola::kMaxRtfHalfPoints);
      for (const char c : run.text) Require(static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n');
      textBytes += run.text.size();
      ++runs;
    }
  }
  Require(textBytes <= 3 * size);
  Require(runs <= size);
  Require(result.text.paragraphs.size() <= size);
  return 0;
}
