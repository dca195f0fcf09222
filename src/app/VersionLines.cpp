#include "app/VersionLines.h"

#include "app/Format.h"
#include "resources/Strings.h"

namespace tola {

std::string RevisionText(std::uint16_t revision) {
  switch (revision) {
    case 0: return LoadString(kIdsRevisionUnknown);
    case 9999: return LoadString(kIdsRevisionNotAvailable);
    case 0xFFFE: return LoadString(kIdsRevisionLoading);
    default: return FormatText("%02u.%02u", revision / 100u, revision % 100u);
  }
}

const std::string& ProgramVersionLine() {
  static const std::string line =
      FormatText(LoadString(kIdsProgramVersionLine), LoadString(kIdsProgramDescription), unsigned{TOLA_VERSION_MAJOR},
                 unsigned{TOLA_VERSION_MINOR}, unsigned{TOLA_VERSION_PATCH}, unsigned{TOLA_VERSION_TWEAK});
  return line;
}

namespace {

struct WindowsName {
  unsigned major, minor;
  const char* workstation;
  const char* server;
};

constexpr WindowsName kWindowsNames[] = {
    {5, 0, "Windows 2000", "Windows 2000"},
    {5, 1, "Windows XP", "Windows XP"},
    {5, 2, "Windows XP 64-Bit Edition", "Windows Server 2003"},
    {6, 0, "Windows Vista", "Windows Server 2008"},
    {6, 1, "Windows 7", "Windows Server 2008 R2"},
    {6, 2, "Windows 8", "Windows Server 2012"},
};

}  // namespace

std::string WindowsVersionName(unsigned major, unsigned minor, bool workstation) {
  for (const auto& n : kWindowsNames) {
    if (n.major == major && n.minor == minor) return workstation ? n.workstation : n.server;
  }
  return {};
}

std::string OperatingSystemLine(const OsVersion& version) {
  return FormatText(LoadString(kIdsOsVersionLine), version.major, version.minor, version.build) + version.name;
}

}  // namespace tola
