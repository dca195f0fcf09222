// The Intel HEX reader over arbitrary text: both passes must agree on where and why they stop, and
// a loaded window must stay consistent through Reconcile and DataLength.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "formats/FirmwareImage.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  tola::FirmwareImage image;
  const bool loaded = image.LoadText(text);
  const tola::ResultCode loadError = tola::GetLastError();
  const std::uint32_t loadLine = image.LineNumber();

  tola::FirmwareImage scan;
  const bool scanned = scan.ScanText(text);
  Require(scanned == loaded);
  Require(tola::GetLastError() == loadError);
  Require(scan.LineNumber() == loadLine);
  Require(scan.Data().empty());

  Require(image.Data().size() == tola::FirmwareImage::kWindowSize);
  if (!loaded) return 0;

  const std::size_t length = image.DataLength();
  Require(length >= 1 && length <= tola::FirmwareImage::kWindowSize);
  const std::uint16_t word = image.ReconciliationWord();
  const tola::ResultCode reconciled = image.Reconcile();
  Require(reconciled == 0 || reconciled == tola::kHexFileChecksum || reconciled == tola::kChecksumWordZero);
  if (word != 0) Require(image.ReconciliationWord() == word);
  if (reconciled == 0) {
    unsigned sum = 0;
    const auto bytes = image.Data();
    for (std::size_t i = 0; i < bytes.size(); i += 2) sum += static_cast<unsigned>(bytes[i] << 8 | bytes[i + 1]);
    Require((sum & 0xFFFFU) == 0);
  }
  return 0;
}
