#include <gtest/gtest.h>

#include "app/ErrorText.h"

namespace tola {
namespace {

TEST(ErrorTextWin32Test, SystemCodesTakeTheSystemsTextWithoutItsLineBreak) {
  for (const ResultCode code : {kErrorFileNotFound, kErrorAccessDenied, kErrorSharingViolation, kErrorDiskFull,
                                kErrorOperationAborted, kErrorTimeout}) {
    SCOPED_TRACE(code);
    const std::string text = ErrorText(code);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), '\r');
  }
}

}  // namespace
}  // namespace tola
