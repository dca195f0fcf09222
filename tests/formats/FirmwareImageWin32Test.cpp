// A device name is not a file to load.

#include <gtest/gtest.h>

#include <string>

#include "formats/FirmwareImage.h"

namespace tola {
namespace {

TEST(FirmwareFileNotAFile, ADeviceIsRefused) {
  FirmwareImage image;
  EXPECT_FALSE(image.Load("NUL"));
  EXPECT_EQ(GetLastError(), kErrorInvalidFunction);
  EXPECT_FALSE(image.Scan("NUL"));
  EXPECT_EQ(GetLastError(), kErrorInvalidFunction);
}

}  // namespace
}  // namespace tola
