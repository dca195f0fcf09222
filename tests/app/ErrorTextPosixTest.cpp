#include <gtest/gtest.h>

#include <cerrno>

#include "app/ErrorText.h"

namespace tola {
namespace {

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
}

}  // namespace
}  // namespace tola
