#include <sys/utsname.h>

#include <cstdio>
#include <fstream>

#include "app/VersionLines.h"

namespace tola {

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
