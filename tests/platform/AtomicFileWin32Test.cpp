// A device name is no place for a saved file on Windows either.

#include <gtest/gtest.h>

#include <string>

#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"

namespace tola {
namespace {

TEST(FileGuardWin32, ADeviceIsNeverReplaced) {
  for (const char* device : {"NUL", "\\\\.\\NUL"}) {
    SCOPED_TRACE(device);
    EXPECT_EQ(CheckWritableFile(device), kNotRegularFile);
    EXPECT_EQ(WriteFileAtomically(device, "saved\r\n"), kNotRegularFile);
  }
}

}  // namespace
}  // namespace tola
