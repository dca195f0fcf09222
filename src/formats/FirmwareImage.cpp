#include "formats/FirmwareImage.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string_view>

#include "app/ErrorText.h"
#include "app/Format.h"
#include "formats/MappedFile.h"
#include "resources/Strings.h"

namespace tola {

namespace {

constexpr int kEndOfText = -1;

constexpr std::uint8_t kRecordData = 0x00;
constexpr std::uint8_t kRecordEndOfFile = 0x01;
constexpr std::uint8_t kRecordExtendedSegment = 0x02;
constexpr std::uint8_t kRecordStartSegment = 0x03;
constexpr std::uint8_t kRecordExtendedLinear = 0x04;
constexpr std::uint8_t kRecordStartLinear = 0x05;

constexpr std::array<std::int8_t, 256> MakeHexTable() {
  std::array<std::int8_t, 256> table{};
  for (auto& v : table) v = -1;
  for (int c = '0'; c <= '9'; ++c) table[static_cast<std::size_t>(c)] = static_cast<std::int8_t>(c - '0');
  for (int c = 'a'; c <= 'f'; ++c) table[static_cast<std::size_t>(c)] = static_cast<std::int8_t>(c - 'a' + 10);
  for (int c = 'A'; c <= 'F'; ++c) table[static_cast<std::size_t>(c)] = static_cast<std::int8_t>(c - 'A' + 10);
  return table;
}
constexpr std::array<std::int8_t, 256> kHexValue = MakeHexTable();

// One pass over Intel HEX text. With a destination it fills the window (fill mode); without one it
// only records the lowest and highest address the data records cover (scan mode).
class IntelHexReader {
 public:
  IntelHexReader(std::string_view text, std::uint8_t* destination, std::uint32_t windowStart,
                 std::uint32_t windowEnd)
      : m_begin(text.data()),
        m_end(text.data() + text.size()),
        m_cursor(m_begin),
        m_destination(destination) {
    if (m_destination != nullptr) {
      m_lowest = windowStart;
      m_highest = windowEnd;
    }
  }

  bool Pass() {
    m_cursor = m_begin;
    m_line = 1;
    m_hasRecord = false;
    m_endOfFileSeen = false;
    m_baseAddress = 0;
    while (!m_endOfFileSeen && m_cursor < m_end) {
      if (!ReadRecord()) return false;
    }
    if (!m_endOfFileSeen) return Fail(kHexMissingEof);
    SetLastError(kErrorSuccess);
    return true;
  }

  std::uint32_t Line() const { return m_line; }
  std::uint32_t Lowest() const { return m_lowest; }
  std::uint32_t Highest() const { return m_highest; }

 private:
  static bool IsBlank(int c) { return c == ' ' || c == '\t' || c == '\f' || c == '\v' || c == 0x1A; }

  static std::string_view TrimmedEnd(std::string_view text) {
    while (!text.empty() && (IsBlank(static_cast<unsigned char>(text.back())) || text.back() == '\r')) {
      text.remove_suffix(1);
    }
    return text;
  }

  static bool IsAllHex(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
      return kHexValue[static_cast<unsigned char>(c)] >= 0;
    });
  }

  // Hex digits exactly as long as a record with the byte count they begin with.
  static bool IsRecordBody(std::string_view text) {
    if (text.size() < 10 || !IsAllHex(text)) return false;
    const auto count = static_cast<std::size_t>(kHexValue[static_cast<unsigned char>(text[0])] * 16 +
                                                kHexValue[static_cast<unsigned char>(text[1])]);
    return text.size() == 2 * (count + 5);
  }

  // A line that is a record but for its start code: the code damaged into another character or
  // lost, white space before it, or text before a ':'.
  static bool HoldsRecord(std::string_view line) {
    if (IsRecordBody(line) || IsRecordBody(line.substr(1))) return true;
    for (std::size_t colon = line.find(':'); colon != std::string_view::npos; colon = line.find(':', colon + 1)) {
      if (IsRecordBody(line.substr(colon + 1))) return true;
    }
    return false;
  }

  static bool Fail(ResultCode code) {
    SetLastError(code);
    return false;
  }

  // Line breaks are invisible to the record syntax: they only move the line and column counters.
  int NextChar() {
    while (m_cursor < m_end) {
      const auto c = static_cast<unsigned char>(*m_cursor++);
      ++m_column;
      if (c == '\n') {
        ++m_line;
        m_column = 0;
      } else if (c == '\r') {
        m_column = 0;
      } else {
        return c;
      }
    }
    return kEndOfText;
  }

  bool ReadByte(std::uint8_t& value) {
    const int high = NextChar();
    const int low = NextChar();
    if (high == kEndOfText || low == kEndOfText) return Fail(kUnexpectedHexCharacter);
    const int h = kHexValue[static_cast<std::size_t>(high)];
    const int l = kHexValue[static_cast<std::size_t>(low)];
    if (h < 0 || l < 0) return Fail(kUnexpectedHexCharacter);
    value = static_cast<std::uint8_t>(h * 16 + l);
    m_checksum = static_cast<std::uint8_t>(m_checksum + value);
    return true;
  }

  bool ReadRecord() {
    m_column = 0;
    m_checksum = 0;
    // A record starts with ':' as the first character of a line or right after the previous record.
    // Other lines (comments, blank lines, the Ctrl+Z of old editors) are skipped, but never one that
    // carries a record: a start code hit by line noise would otherwise drop that record's data
    // without a word while the rest of the file still reconciles.
    for (;;) {
      const int c = NextChar();
      if (c == kEndOfText) return Fail(kHexMissingEof);
      if (c == ':' && m_column == 1) break;
      if (IsBlank(c)) continue;
      const char* const start = m_cursor - 1;
      const char* const lineEnd = std::find(start, m_end, '\n');
      const std::string_view rest = TrimmedEnd(std::string_view(start, static_cast<std::size_t>(lineEnd - start)));
      // Hex digits left on the line of the record just read: its byte count was too small.
      if (m_hasRecord && m_line == m_recordEndLine && IsAllHex(rest)) return Fail(kHexRecordLength);
      if (HoldsRecord(rest)) return Fail(kHexMissingColon);
      m_cursor = lineEnd;
    }
    std::uint8_t count = 0, offsetHigh = 0, offsetLow = 0, type = 0, checksum = 0;
    if (!ReadByte(count) || !ReadByte(offsetHigh) || !ReadByte(offsetLow) || !ReadByte(type)) {
      return false;
    }
    for (unsigned i = 0; i < count; ++i) {
      if (!ReadByte(m_data[i])) return false;
    }
    if (!ReadByte(checksum)) return false;
    if (m_checksum != 0) return Fail(kHexLineChecksum);
    m_hasRecord = true;
    m_recordEndLine = m_line;

    const std::uint32_t offset = static_cast<std::uint32_t>(offsetHigh) << 8 | offsetLow;
    switch (type) {
      case kRecordData: StoreData(m_baseAddress + offset, count); break;
      case kRecordEndOfFile: m_endOfFileSeen = true; break;
      case kRecordExtendedSegment: m_baseAddress = AddressValue(count) << 4; break;
      case kRecordExtendedLinear: m_baseAddress = AddressValue(count) << 16; break;
      case kRecordStartSegment:
      case kRecordStartLinear: break;
      default: return Fail(kHexUnknownRecordType);
    }
    return true;
  }

  // The 16-bit value of an extended-address record. A record with fewer than two data bytes reads
  // the missing ones as 0; bytes beyond the second are ignored.
  std::uint32_t AddressValue(unsigned count) const {
    const std::uint32_t high = count > 0 ? m_data[0] : 0;
    const std::uint32_t low = count > 1 ? m_data[1] : 0;
    return high << 8 | low;
  }

  void StoreData(std::uint32_t address, unsigned count) {
    if (m_destination == nullptr) {
      // The end saturates at the top of the 32-bit address space rather than wrap.
      const std::uint64_t end = std::min<std::uint64_t>(static_cast<std::uint64_t>(address) + count,
                                                        std::numeric_limits<std::uint32_t>::max());
      m_lowest = std::min(m_lowest, address);
      m_highest = std::max(m_highest, static_cast<std::uint32_t>(end));
      return;
    }
    // A record starting below the window is dropped whole; one running past its end is cut there.
    if (address < m_lowest || address >= m_highest) return;
    const std::uint32_t n = std::min<std::uint32_t>(count, m_highest - address);
    std::copy_n(m_data.begin(), n, m_destination + (address - m_lowest));
  }

  const char* m_begin;
  const char* m_end;
  const char* m_cursor;
  std::uint32_t m_lowest = std::numeric_limits<std::uint32_t>::max();
  std::uint32_t m_highest = 0;
  std::uint32_t m_line = 0;
  std::uint32_t m_recordEndLine = 0;
  bool m_hasRecord = false;
  std::size_t m_column = 0;
  std::uint32_t m_baseAddress = 0;
  bool m_endOfFileSeen = false;
  std::uint8_t* m_destination;
  std::uint8_t m_checksum = 0;
  std::array<std::uint8_t, 255> m_data{};
};

}  // namespace

void FirmwareImage::Reset() {
  m_buffer.clear();
  m_buffer.shrink_to_fit();
  m_loaded = false;
  m_dataLength.reset();
  m_fileName.clear();
  m_startAddress = 0;
  m_endAddress = 0;
  m_lineNumber = 0;
}

bool FirmwareImage::Fill(std::string_view text) {
  m_buffer.assign(kWindowSize, 0xFF);
  IntelHexReader reader(text, m_buffer.data(), m_startAddress, m_endAddress);
  m_loaded = reader.Pass();
  m_lineNumber = reader.Line();
  return m_loaded;
}

bool FirmwareImage::Load(const std::string& path) {
  Reset();
  m_fileName = path;
  m_startAddress = kWindowStart;
  m_endAddress = kWindowEnd;
  MappedFile file;
  const ResultCode opened = file.Open(path);
  if (opened != kErrorSuccess) {
    SetLastError(opened);
    return false;
  }
  return Fill(file.Text());
}

bool FirmwareImage::LoadText(std::string_view text) {
  Reset();
  m_startAddress = kWindowStart;
  m_endAddress = kWindowEnd;
  return Fill(text);
}

bool FirmwareImage::ScanText(std::string_view text) {
  IntelHexReader reader(text, nullptr, 0, 0);
  const bool ok = reader.Pass();
  m_startAddress = reader.Lowest();
  m_endAddress = reader.Highest();
  m_lineNumber = reader.Line();
  return ok;
}

bool FirmwareImage::Scan(const std::string& path) {
  Reset();
  m_fileName = path;
  MappedFile file;
  const ResultCode opened = file.Open(path);
  if (opened != kErrorSuccess) {
    SetLastError(opened);
    return false;
  }
  return ScanText(file.Text());
}

std::uint16_t FirmwareImage::ReconciliationWord() const {
  if (m_buffer.size() < 2) return 0;
  return static_cast<std::uint16_t>(m_buffer[0] << 8 | m_buffer[1]);
}

ResultCode FirmwareImage::Reconcile() {
  if (m_buffer.size() != kWindowSize) return kErrorInvalidFunction;
  const std::uint16_t word = ReconciliationWord();
  std::uint16_t sum = 0;
  for (std::size_t i = 0; i < kWindowSize; i += 2) {
    sum = static_cast<std::uint16_t>(sum + (m_buffer[i] << 8 | m_buffer[i + 1]));
  }
  if (word != 0) return sum == 0 ? kErrorSuccess : kHexFileChecksum;
  if (sum == 0) return kChecksumWordZero;
  const auto fill = static_cast<std::uint16_t>(0x10000U - sum);
  m_buffer[0] = static_cast<std::uint8_t>(fill >> 8);
  m_buffer[1] = static_cast<std::uint8_t>(fill & 0xFF);
  return kErrorSuccess;
}

std::size_t FirmwareImage::DataLength() {
  if (m_buffer.empty()) return 0;
  if (!m_dataLength) {
    // The first byte is never examined, so an image of nothing but 0xFF has length 1.
    std::size_t last = m_buffer.size() - 1;
    while (last > 0 && m_buffer[last] == 0xFF) --last;
    m_dataLength = last + 1;
  }
  return *m_dataLength;
}

ResultCode CheckFirmwareFile(const std::string& path, std::uint32_t& line) {
  FirmwareImage image;
  if (!image.Load(path)) {
    line = image.LineNumber();
    const ResultCode code = GetLastError();
    return code != kErrorSuccess ? code : kErrorGenFailure;
  }
  line = image.LineNumber();
  return image.Reconcile();
}

std::string FirmwareFileFault(std::uint32_t line, ResultCode code) {
  return FormatText(LoadString(kIdsLineErrorCode), line, code, ErrorText(code));
}

std::string DescribeFirmwareFile(const std::string& path, ResultCode& result) {
  std::string text = FormatText("Firmware file \"%s\"\n", path);
  const auto lineError = [&](const FirmwareImage& image) {
    result = GetLastError();
    text += FormatText(LoadString(kIdsLineErrorCode), image.LineNumber(), result, ErrorText(result));
    text += '\n';
    return text;
  };

  FirmwareImage scan;
  if (!scan.Scan(path)) return lineError(scan);
  if (scan.StartAddress() > scan.EndAddress()) {
    text += FormatText("No data records; end-of-file record on line %u\n", scan.LineNumber());
  } else {
    text += FormatText("Data records cover 0x%08X to 0x%08X; end-of-file record on line %u\n",
                       scan.StartAddress(), scan.EndAddress() - 1, scan.LineNumber());
  }

  FirmwareImage image;
  if (!image.Load(path)) return lineError(image);
  const std::size_t length = image.DataLength();
  text += FormatText("Window 0x%08X to 0x%08X: data length %u bytes, %u packets of %u bytes\n",
                     FirmwareImage::kWindowStart, FirmwareImage::kWindowEnd - 1, length,
                     (length + FirmwareImage::kBlockSize - 1) / FirmwareImage::kBlockSize,
                     FirmwareImage::kBlockSize);
  const std::uint16_t word = image.ReconciliationWord();
  result = image.Reconcile();
  if (result == kErrorSuccess && word == 0) {
    text += FormatText("Checksum reconciliation word computed: 0x%04X\n", image.ReconciliationWord());
  } else if (result == kErrorSuccess) {
    text += FormatText("Checksum reconciliation word 0x%04X: the window sums to zero\n", word);
  } else {
    text += FormatText("Checksum reconciliation word 0x%04X: ", word);
    text += FormatText(LoadString(kIdsErrorCode), result, ErrorText(result));
    text += '\n';
  }
  return text;
}

}  // namespace tola
