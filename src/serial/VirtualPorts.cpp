#include "serial/VirtualPorts.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace tola {

namespace {

std::string ReadLink(const std::string& path) {
  std::array<char, 4096> buffer{};
  const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size() - 1);
  return n > 0 ? std::string(buffer.data(), static_cast<std::size_t>(n)) : std::string();
}

// Only plain names can be virtual ports; "pts/3" or ".." must not wander out of the folder.
bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

std::string LockPathOf(const std::string& folder, const std::string& name) { return folder + "/." + name + ".lock"; }

std::string LockFileText(const std::string& target) { return std::to_string(::getpid()) + "\n" + target + "\n"; }

// Whole-file lock of an open file description: it stays with this descriptor alone, whatever else
// the process opens and closes, and goes when the process does.
flock WholeFile(short type) {
  flock lock{};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  return lock;
}

// Opens and locks the lock file at `path`; -1 with errno (EEXIST: someone else holds it).
int ClaimLockFile(const std::string& path) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return -1;
    flock lock = WholeFile(F_WRLCK);
    if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
      const int error = errno;
      ::close(fd);
      errno = error == EAGAIN || error == EACCES ? EEXIST : error;
      return -1;
    }
    // A cleaner may have removed the file between the open and the lock; the lock counts only on
    // the file the name leads to now.
    struct stat held {};
    struct stat named {};
    if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino) {
      return fd;
    }
    ::close(fd);
  }
  errno = EAGAIN;
  return -1;
}

// The publisher of `link` still lives and the lock file names `target`.
bool PublisherAlive(const std::string& folder, const std::string& name, const std::string& target) {
  const int fd = ::open(LockPathOf(folder, name).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  flock lock = WholeFile(F_WRLCK);
  const bool held = ::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
  std::array<char, 4200> buffer{};
  const ssize_t n = held ? ::pread(fd, buffer.data(), buffer.size(), 0) : 0;
  ::close(fd);
  if (!held || n <= 0) return false;
  const std::string text(buffer.data(), static_cast<std::size_t>(n));
  const auto firstLineEnd = text.find('\n');
  return firstLineEnd != std::string::npos && text.substr(firstLineEnd + 1) == target + "\n";
}

// A live link: a symbolic link to a character device, published by a process that still lives.
bool IsLiveLink(const std::string& folder, const std::string& name, std::string* target) {
  const std::string path = folder + "/" + name;
  struct stat linkInfo {};
  if (::lstat(path.c_str(), &linkInfo) != 0 || !S_ISLNK(linkInfo.st_mode)) return false;
  struct stat targetInfo {};
  if (::stat(path.c_str(), &targetInfo) != 0 || !S_ISCHR(targetInfo.st_mode)) return false;
  const std::string pointsAt = ReadLink(path);
  if (!PublisherAlive(folder, name, pointsAt)) return false;
  if (target) *target = pointsAt;
  return true;
}

}  // namespace

std::string VirtualPortFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) return std::string(runtime) + "/tola400-sim";
  return "/tmp/tola400-sim-" + std::to_string(::getuid());
}

std::string VirtualPortPublisher(const std::string& name, const std::string& folder) {
  std::ifstream in(LockPathOf(folder, name));
  std::string pid;
  if (!in || !std::getline(in, pid)) return {};
  return pid;
}

std::vector<VirtualPort> ListVirtualPorts(const std::string& folder) {
  std::vector<VirtualPort> ports;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return ports;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (!IsPlainName(name)) continue;
    VirtualPort port{name, folder + "/" + name, {}};
    if (IsLiveLink(folder, name, &port.target)) ports.push_back(std::move(port));
  }
  ::closedir(dir);
  std::sort(ports.begin(), ports.end(),
            [](const VirtualPort& a, const VirtualPort& b) { return a.name < b.name; });
  return ports;
}

std::string ResolvePortPath(const std::string& name, const std::string& virtualFolder) {
  if (!name.empty() && name.front() == '/') return name;
  if (IsPlainName(name) && !virtualFolder.empty() && IsLiveLink(virtualFolder, name, nullptr)) {
    return virtualFolder + "/" + name;
  }
  return "/dev/" + name;
}

bool PublishedPort::Publish(const std::string& folder, const std::string& name, const std::string& target) {
  Withdraw();
  if (!IsPlainName(name)) {
    errno = EINVAL;
    return false;
  }
  const std::string lockPath = LockPathOf(folder, name);
  const int fd = ClaimLockFile(lockPath);
  if (fd < 0) return false;
  // The lock file names the target before the link appears, so nobody takes a link of the dead
  // publisher for ours in between.
  const std::string text = LockFileText(target);
  const std::string link = folder + "/" + name;
  if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()) ||
      (::unlink(link.c_str()) != 0 && errno != ENOENT) || ::symlink(target.c_str(), link.c_str()) != 0) {
    const int error = errno;
    ::unlink(lockPath.c_str());
    ::close(fd);
    errno = error;
    return false;
  }
  m_lockFd = fd;
  m_linkPath = link;
  m_lockPath = lockPath;
  m_target = target;
  return true;
}

void PublishedPort::Withdraw() {
  if (m_lockFd < 0) return;
  if (ReadLink(m_linkPath) == m_target) ::unlink(m_linkPath.c_str());
  ::unlink(m_lockPath.c_str());
  ::close(m_lockFd);
  m_lockFd = -1;
  m_linkPath.clear();
  m_lockPath.clear();
  m_target.clear();
}

std::size_t RemoveStaleVirtualPorts(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return 0;
  while (const dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    // ".NAME.lock" stands for NAME, so that a lock file left without its link goes too.
    constexpr std::string_view kLockSuffix = ".lock";
    if (name.size() > kLockSuffix.size() + 1 && name.front() == '.' && name.ends_with(kLockSuffix)) {
      name = name.substr(1, name.size() - kLockSuffix.size() - 1);
    } else if (struct stat info {}; ::lstat((folder + "/" + name).c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      continue;
    }
    if (IsPlainName(name)) names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());

  std::size_t removed = 0;
  for (const std::string& name : names) {
    const std::string link = folder + "/" + name;
    struct stat info {};
    const bool isLink = ::lstat(link.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
    if (isLink && PublisherAlive(folder, name, ReadLink(link))) continue;
    // Holding the lock keeps a publisher from taking the name while its leftovers go.
    const std::string lockPath = LockPathOf(folder, name);
    const int fd = ClaimLockFile(lockPath);
    if (fd < 0) continue;  // a live publisher is just taking the name
    if (isLink && ::unlink(link.c_str()) == 0) ++removed;
    ::unlink(lockPath.c_str());
    ::close(fd);
  }
  return removed;
}

}  // namespace tola
