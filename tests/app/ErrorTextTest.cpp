#include <gtest/gtest.h>

#include "app/ErrorText.h"
#include "app/Format.h"

namespace tola {
namespace {

TEST(ErrorTextTest, ProgramCodesLoseTheirLineBreak) {
  EXPECT_EQ(ErrorText(0xE2000049), "No response to semicolon poll");
  EXPECT_EQ(ErrorText(0xA2000047), "The computed checksum reconciliation word is zero");
  EXPECT_EQ(ErrorText(0xE20004C8), "No response to Antenna Enable query (^AE)");
  EXPECT_EQ(ErrorText(0xE2000099), "") << "a program code the table lacks";
  EXPECT_EQ(ErrorText(123456789), "") << "a code no system knows";
}

TEST(ErrorTextTest, ExtendedServerErrorAppendsTheLastResponse) {
  SetLastServerResponse(550, "550 Failed to change directory.");
  const std::string text = ErrorText(12003);
  const std::string tail = "\r\nInternetGetLastResponseInfo returns 0x00000226 550 Failed to change directory.";
  ASSERT_GE(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  EXPECT_GT(text.size(), tail.size()) << "the code's own text comes first";
  SetLastServerResponse(0, "");
}

TEST(FormatTest, LongResultsAreCutAndBadPatternsDoNotFail) {
  const std::string big(5000, 'x');
  EXPECT_EQ(FormatText("%s!", big).size(), kMaxFormattedLength);
  EXPECT_EQ(FormatText("Error 0x%08X: %s", 0xE2000049u, "text"), "Error 0xE2000049: text");
  EXPECT_EQ(FormatText("%02u.%02u", 1u, 5u), "01.05");
  EXPECT_EQ(FormatText("%s and %s", "one"), "%s and %s");
}

}  // namespace
}  // namespace tola
