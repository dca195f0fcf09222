#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/FileSystem.h"

namespace tola {

ResultCode AtomicFile::Create(const std::string& path) {
  Abandon();
  std::string target;
  if (const ResultCode r = ReplaceableTarget(path, target); r != kErrorSuccess) return r;
  m_path = target;
  const std::string pattern = TemporaryPattern(m_path);
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
  if (fd < 0) return ResultFromErrno(errno);
  // mkostemp makes the file 0600: a replaced file keeps its own permissions, a new one is an
  // ordinary user file.
  struct stat existing {};
  if (::stat(m_path.c_str(), &existing) == 0) {
    ::fchmod(fd, existing.st_mode & 07777);
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
  }
  m_file = fd;
  m_writeError = kErrorSuccess;
  m_tempPath.assign(buffer.data());
  return kErrorSuccess;
}

ResultCode AtomicFile::WriteSome(const char* data, std::size_t size, std::size_t& written) {
  for (;;) {
    const ssize_t n = ::write(static_cast<int>(m_file), data, size);
    if (n >= 0) {
      written = static_cast<std::size_t>(n);
      return kErrorSuccess;
    }
    if (errno != EINTR) return ResultFromErrno(errno);
  }
}

void AtomicFile::HandOver() {
  if (!IsOpen()) return;
  ::close(static_cast<int>(m_file));
  m_file = kNoFile;
}

ResultCode AtomicFile::Commit() {
  if (m_tempPath.empty()) return kErrorInvalidHandle;
  // A handed-over file is opened again for its sync.
  const int fd = IsOpen() ? static_cast<int>(m_file) : ::open(m_tempPath.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
  m_file = kNoFile;
  if (fd < 0) {
    const ResultCode failed = ResultFromErrno(errno);
    Abandon();
    return failed;
  }
  ResultCode result = m_writeError;
  if (result == kErrorSuccess && ::fsync(fd) != 0) result = ResultFromErrno(errno);
  if (::close(fd) != 0 && result == kErrorSuccess) result = ResultFromErrno(errno);
  if (result == kErrorSuccess) {
    // Whatever took the target's name since Create is checked again: the rename replaces only a
    // regular file.
    std::string target;
    result = ReplaceableTarget(m_path, target);
    if (result == kErrorSuccess && target != m_path) result = kNotRegularFile;
  }
  if (result == kErrorSuccess && ::rename(m_tempPath.c_str(), m_path.c_str()) != 0) {
    result = ResultFromErrno(errno);
  }
  if (result != kErrorSuccess) {
    ::unlink(m_tempPath.c_str());
    m_tempPath.clear();
    return result;
  }
  m_tempPath.clear();
  const std::string folder = FolderOf(m_path);
  const int dirFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);  // best effort: the file itself is complete either way
    ::close(dirFd);
  }
  return kErrorSuccess;
}

void AtomicFile::Abandon() {
  if (IsOpen()) {
    ::close(static_cast<int>(m_file));
    m_file = kNoFile;
  }
  if (!m_tempPath.empty()) {
    ::unlink(m_tempPath.c_str());
    m_tempPath.clear();
  }
}

}  // namespace tola
