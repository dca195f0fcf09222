#include "app/VersionLines.h"

#include <sys/utsname.h>

#include <cstdio>
#include <fstream>

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

std::string OperatingSystemLine(const OsVersion& version) {
  std::string line = FormatText(LoadString(kIdsOsVersionLine), version.major, version.minor, version.build);
#ifdef _WIN32
  for (const auto& n : kWindowsNames) {
    if (n.major == version.major && n.minor == version.minor) return line + (version.workstation ? n.workstation : n.server);
  }
  return line;
#else
  (void)kWindowsNames;
  return line + version.name;
#endif
}

OsVersion CurrentOsVersion(const std::string& osReleasePath) {
  OsVersion version;
  utsname names{};
  if (::uname(&names) == 0) {
    std::sscanf(names.release, "%u.%u.%u", &version.major, &version.minor, &version.build);
  }
  std::ifstream release(osReleasePath);
  std::string line;
  while (std::getline(release, line)) {
    if (line.rfind("PRETTY_NAME=", 0) != 0) continue;
    std::string value = line.substr(12);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    version.name = value;
  }
  return version;
}

}  // namespace tola
