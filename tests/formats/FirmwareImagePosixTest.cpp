// Things in a folder that are not files must neither block nor load.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "formats/FirmwareImage.h"
#include "support/TempFolder.h"

namespace tola {
namespace {

TEST(FirmwareFileNotAFile, APipeOrADeviceIsRefused) {
  test::TempFolder folder;
  const std::string fifo = folder / "pipe.hex";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, std::string("/dev/null")}) {
    SCOPED_TRACE(path);
    FirmwareImage image;
    EXPECT_FALSE(image.Load(path));
    EXPECT_EQ(GetLastError(), kErrorInvalidFunction);
    EXPECT_FALSE(image.Scan(path));
    EXPECT_EQ(GetLastError(), kErrorInvalidFunction);
  }
}

}  // namespace
}  // namespace tola
