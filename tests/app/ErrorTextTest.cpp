#include <gtest/gtest.h>

#include <cerrno>

#include "app/ErrorText.h"
#include "app/Format.h"

namespace tola {
namespace {

TEST(ErrorTextTest, ProgramCodesLoseTheirLineBreak) {
  EXPECT_EQ(ErrorText(0xE2000049), "No response to semicolon poll");
  EXPECT_EQ(ErrorText(0xA2000047), "The computed checksum reconciliation word is zero");
  EXPECT_EQ(ErrorText(0xE20004C8), "No response to Antenna Enable query (^AE)");
}

TEST(ErrorTextTest, EveryErrnoTheLinuxLayerMapsHasATextAndUnknownCodesHaveNone) {
  for (int err : {ENOENT, EACCES, EBUSY, EIO, ENOSPC, EROFS, ENOTDIR, EISDIR, EINVAL, ENXIO, ENODEV, EPIPE,
                  EAGAIN, EINTR, ETIMEDOUT, ENAMETOOLONG, EEXIST, EMFILE, ENOMEM, EFBIG, EDQUOT, ELOOP,
                  EHOSTUNREACH, ECONNREFUSED}) {
    const ResultCode code = ResultFromErrno(err);
    EXPECT_NE(code, 0u) << err;
    EXPECT_FALSE(ErrorText(code).empty()) << "errno " << err << " -> 0x" << std::hex << code;
  }
  EXPECT_EQ(ResultFromErrno(ENOENT), kErrorFileNotFound);
  EXPECT_EQ(ResultFromErrno(EBUSY), kErrorAccessDenied);
  EXPECT_NE(ErrorText(kErrorCancelled).find("cancel"), std::string::npos);
  EXPECT_EQ(ErrorText(0xE2000099), "");
  EXPECT_EQ(ErrorText(123456789), "");
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
