#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "formats/FaultRecords.h"

namespace tola {
namespace {

FaultRecord Record(char code, std::uint32_t time, std::uint16_t frequency, std::uint16_t variable) {
  return {static_cast<std::uint8_t>(code), time, frequency, variable};
}

class Ring {
 public:
  Ring() { m_bytes.fill(0xFF); }
  void Put(unsigned slot, char code, std::uint32_t time = 0, std::uint16_t frequency = 0, std::uint16_t variable = 0) {
    // Time in three bytes, then frequency and variable data, all little-endian.
    const std::uint64_t fields = time | std::uint64_t{frequency} << 24 | std::uint64_t{variable} << 40;
    m_bytes[8 * slot] = static_cast<std::uint8_t>(code);
    for (unsigned k = 0; k < 7; ++k) m_bytes[8 * slot + 1 + k] = static_cast<std::uint8_t>(fields >> (8 * k));
  }
  std::vector<unsigned> Order(std::uint8_t index) const {
    std::vector<unsigned> slots;
    for (const auto& row : ListFaultRing(index, m_bytes)) slots.push_back(static_cast<unsigned>(std::stoul(row.index)));
    return slots;
  }
  const std::array<std::uint8_t, kFaultRingSize>& Bytes() const { return m_bytes; }

 private:
  std::array<std::uint8_t, kFaultRingSize> m_bytes{};
};

TEST(FaultRecordsTest, VariableDataTexts) {
  struct Case {
    char code;
    const char* name;
    const char* text;
  };
  const Case cases[] = {
      {'A', "NO MATCH", "SWR 123.4 : 1"},           {'C', "HI CURRENT", "123.4 Amperes"},
      {'D', "HI DISSIPATION", "12.34 Watts"},       {'H', "HI SUPPLY VOLTAGE", "1.234 Volts"},
      {'I', "HI INPUT POWER", "12.34 Watts"},       {'L', "LO SUPPLY VOLTAGE", "1.234 Volts"},
      {'N', "NO FAULT", "Power on 1234 time(s)"},  {'P', "HI FORWARD POWER", "12.34 Watts"},
      {'R', "HI REFLECTED POWER", "12.34 Watts"},   {'S', "HI SWR", "SWR 123.4 : 1"},
      {'T', "HI TEMPERATURE", "123.4 degrees C"},   {'E', "Unrecognized E", ""},
      {'X', "Unrecognized X", "1234"},              {'a', "Unrecognized a", "1234"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FaultName(c.code), c.name);
    EXPECT_EQ(FaultVariableText(Record(c.code, 0, 0, 1234)), c.text) << c.code;
  }
  // Remainders are padded, values unsigned.
  EXPECT_EQ(FaultVariableText(Record('C', 0, 0, 5)), "0.5 Amperes");
  EXPECT_EQ(FaultVariableText(Record('H', 0, 0, 7)), "0.007 Volts");
  EXPECT_EQ(FaultVariableText(Record('D', 0, 0, 1005)), "10.05 Watts");
  EXPECT_EQ(FaultVariableText(Record('S', 0, 0, 65535)), "SWR 6553.5 : 1");
  EXPECT_EQ(FaultVariableText(Record('Q', 0, 0, 65535)), "65535");
}

TEST(FaultRecordsTest, RingListsNewestFirstAndSkipsEmptySlotsInRows) {
  Ring ring;
  EXPECT_TRUE(ListFaultRing(0, ring.Bytes()).empty()) << "all 0xFF";
  EXPECT_TRUE(ListFaultRing(200, ring.Bytes()).empty());

  Ring full;
  for (unsigned s = 0; s < 256; ++s) full.Put(s, 'N', s, 0, static_cast<std::uint16_t>(s));
  std::vector<unsigned> expected{0};
  for (unsigned s = 255; s >= 1; --s) expected.push_back(s);
  EXPECT_EQ(full.Order(0), expected) << "index 0: 0, 255, 254, ..., 1";

  Ring partial;
  partial.Put(5, 'C', 90061, 14200, 5);
  partial.Put(3, 'T');
  partial.Put(0, 'N');
  partial.Put(250, 'S');
  partial.Put(6, 'A');  // the oldest: just after the index
  EXPECT_EQ(partial.Order(5), (std::vector<unsigned>{5, 3, 0, 250, 6}));

  const auto rows = ListFaultRing(5, partial.Bytes());
  ASSERT_EQ(rows.size(), 5U);
  EXPECT_EQ(rows[0], (FaultRow{"5", "C HI CURRENT", "1D01H01M01S", "14200", "0.5 Amperes"}));
  EXPECT_EQ(rows[4].faultCode, "A NO MATCH");
  EXPECT_EQ(FormatFaultRow(0, Record('N', 0, 0, 1)).timestamp, "0D00H00M00S");
  EXPECT_EQ(FormatFaultRow(255, Record('T', 16777215, 65535, 0)),
            (FaultRow{"255", "T HI TEMPERATURE", "194D04H20M15S", "65535", "0.0 degrees C"}));
  EXPECT_EQ(FormatFaultRow(1, Record('E', 59, 1, 99)),
            (FaultRow{"1", "E Unrecognized E", "0D00H00M59S", "1", ""}));
  EXPECT_EQ(FormatFaultRow(2, Record('X', 3600, 2, 99)).faultCode, "X Unrecognized X");
}

}  // namespace
}  // namespace tola
