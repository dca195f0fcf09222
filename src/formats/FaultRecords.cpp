#include "formats/FaultRecords.h"

#include "app/Format.h"

namespace tola {

namespace {

// The code as a character of the row. Bytes above 0x7F are taken as Latin-1 so the text stays UTF-8.
std::string CodeText(char code) {
  const auto c = static_cast<unsigned char>(code);
  if (c < 0x80) return std::string(1, code);
  std::string text;
  text += static_cast<char>(0xC0 | (c >> 6));
  text += static_cast<char>(0x80 | (c & 0x3F));
  return text;
}

// v / divisor and v mod divisor; the pattern pads the remainder to the divisor's digits.
std::string Scaled(const char* pattern, unsigned v, unsigned divisor) {
  return FormatText(pattern, v / divisor, v % divisor);
}

}  // namespace

FaultRecord FaultRecord::FromBytes(std::span<const std::uint8_t, kFaultRecordSize> bytes) {
  FaultRecord r;
  r.code = bytes[0];
  r.time = static_cast<std::uint32_t>(bytes[1]) | static_cast<std::uint32_t>(bytes[2]) << 8 |
           static_cast<std::uint32_t>(bytes[3]) << 16;
  r.frequency = static_cast<std::uint16_t>(bytes[4] | bytes[5] << 8);
  r.variable = static_cast<std::uint16_t>(bytes[6] | bytes[7] << 8);
  return r;
}

std::string FaultName(char code) {
  switch (code) {
    case 'A': return "NO MATCH";
    case 'C': return "HI CURRENT";
    case 'D': return "HI DISSIPATION";
    case 'H': return "HI SUPPLY VOLTAGE";
    case 'I': return "HI INPUT POWER";
    case 'L': return "LO SUPPLY VOLTAGE";
    case 'N': return "NO FAULT";
    case 'P': return "HI FORWARD POWER";
    case 'R': return "HI REFLECTED POWER";
    case 'S': return "HI SWR";
    case 'T': return "HI TEMPERATURE";
    default: return "Unrecognized " + CodeText(code);
  }
}

std::string FaultVariableText(const FaultRecord& record) {
  const unsigned v = record.variable;
  switch (record.code) {
    case 'A':
    case 'S': return Scaled("SWR %d.%01d : 1", v, 10);
    case 'C': return Scaled("%d.%01d Amperes", v, 10);
    case 'D':
    case 'I':
    case 'P':
    case 'R': return Scaled("%d.%02d Watts", v, 100);
    case 'H':
    case 'L': return Scaled("%d.%03d Volts", v, 1000);
    case 'N': return FormatText("Power on %d time(s)", v);
    case 'T': return Scaled("%d.%01d degrees C", v, 10);
    case 'E': return std::string();
    default: return FormatText("%d", v);
  }
}

FaultRow FormatFaultRow(unsigned slot, const FaultRecord& record) {
  const std::uint32_t t = record.time;
  const char code = static_cast<char>(record.code);
  FaultRow row;
  row.index = FormatText("%u", slot);
  row.faultCode = CodeText(code) + " " + FaultName(code);
  row.timestamp = FormatText("%uD%02uH%02uM%02uS", t / 86400, (t / 3600) % 24, (t / 60) % 60, t % 60);
  row.frequency = FormatText("%d", static_cast<unsigned>(record.frequency));
  row.variableData = FaultVariableText(record);
  return row;
}

std::vector<FaultRow> ListFaultRing(std::uint8_t index, std::span<const std::uint8_t, kFaultRingSize> ring) {
  std::vector<FaultRow> rows;
  unsigned slot = index;
  for (std::size_t n = 0; n < kFaultRingSlots; ++n) {
    const auto bytes = ring.subspan(slot * kFaultRecordSize).first<kFaultRecordSize>();
    if (bytes[0] != kEmptyFaultCode) rows.push_back(FormatFaultRow(slot, FaultRecord::FromBytes(bytes)));
    slot = (slot + kFaultRingSlots - 1) % kFaultRingSlots;
  }
  return rows;
}

}  // namespace tola
