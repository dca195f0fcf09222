#include <gtest/gtest.h>

#include "app/VersionLines.h"
#include "support/TempFolder.h"

namespace tola {
namespace {

TEST(VersionLinesTest, NameComesFromOsRelease) {
  test::TempFolder folder;
  test::WriteWholeFile(folder / "os-release", "NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n");
  const OsVersion v = CurrentOsVersion(folder / "os-release");
  EXPECT_EQ(v.name, "Debian GNU/Linux 12 (bookworm)");
  EXPECT_GT(v.major, 0u) << "the kernel release gives the version";
  EXPECT_EQ(CurrentOsVersion(folder / "missing").name, "");
}

}  // namespace
}  // namespace tola
