#include <gtest/gtest.h>

#include "app/VersionLines.h"
#include "support/TempFolder.h"

namespace tola {
namespace {

TEST(VersionLinesTest, OperatingSystemLineEndsWithTheBlankAndTheSystemsName) {
  EXPECT_EQ(OperatingSystemLine(OsVersion{10, 0, 19045, true, ""}), "OS Version 10.0 Build 19045 ");
  EXPECT_EQ(OperatingSystemLine(OsVersion{6, 1, 76, true, "Debian GNU/Linux 12 (bookworm)"}),
            "OS Version 6.1 Build 76 Debian GNU/Linux 12 (bookworm)");
}

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
