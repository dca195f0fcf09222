#include "serial/VirtualPorts.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>

namespace tola {

namespace {

// A live link: a symbolic link whose target exists and is a character device.
bool IsLiveLink(const std::string& path, std::string* target) {
  struct stat linkInfo {};
  if (::lstat(path.c_str(), &linkInfo) != 0 || !S_ISLNK(linkInfo.st_mode)) return false;
  struct stat targetInfo {};
  if (::stat(path.c_str(), &targetInfo) != 0 || !S_ISCHR(targetInfo.st_mode)) return false;
  if (target) {
    std::array<char, 4096> buffer{};
    const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size() - 1);
    target->assign(buffer.data(), n > 0 ? static_cast<std::size_t>(n) : 0);
  }
  return true;
}

// Only plain names can be virtual ports; "pts/3" or ".." must not wander out of the folder.
bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

}  // namespace

std::string VirtualPortFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return std::string(runtime) + "/tola400-sim";
  return "/tmp/tola400-sim-" + std::to_string(::getuid());
}

std::vector<VirtualPort> ListVirtualPorts(const std::string& folder) {
  std::vector<VirtualPort> ports;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return ports;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (!IsPlainName(name)) continue;
    VirtualPort port{name, folder + "/" + name, {}};
    if (IsLiveLink(port.path, &port.target)) ports.push_back(std::move(port));
  }
  ::closedir(dir);
  std::sort(ports.begin(), ports.end(),
            [](const VirtualPort& a, const VirtualPort& b) { return a.name < b.name; });
  return ports;
}

std::string ResolvePortPath(const std::string& name, const std::string& virtualFolder) {
  if (!name.empty() && name.front() == '/') return name;
  if (IsPlainName(name) && !virtualFolder.empty()) {
    const std::string link = virtualFolder + "/" + name;
    if (IsLiveLink(link, nullptr)) return link;
  }
  return "/dev/" + name;
}

}  // namespace tola
