#include <gtest/gtest.h>

#include "app/VersionLines.h"

namespace tola {
namespace {

TEST(VersionLinesTest, OperatingSystemLineEndsWithTheBlankAndTheSystemsName) {
  EXPECT_EQ(OperatingSystemLine(OsVersion{10, 0, 19045, true, ""}), "OS Version 10.0 Build 19045 ");
  EXPECT_EQ(OperatingSystemLine(OsVersion{6, 1, 76, true, "Debian GNU/Linux 12 (bookworm)"}),
            "OS Version 6.1 Build 76 Debian GNU/Linux 12 (bookworm)");
}

TEST(VersionLinesTest, WindowsVersionsByNumberAndProductType) {
  struct Case {
    unsigned major, minor;
    bool workstation;
    const char* name;
  };
  const Case cases[] = {
      {5, 0, true, "Windows 2000"},      {5, 0, false, "Windows 2000"},
      {5, 2, true, "Windows XP 64-Bit Edition"}, {5, 2, false, "Windows Server 2003"},
      {6, 1, true, "Windows 7"},         {6, 1, false, "Windows Server 2008 R2"},
      {6, 2, false, "Windows Server 2012"}, {6, 3, true, ""}, {10, 0, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor) + (c.workstation ? " workstation" : ""));
    EXPECT_EQ(WindowsVersionName(c.major, c.minor, c.workstation), c.name);
  }
}

}  // namespace
}  // namespace tola
