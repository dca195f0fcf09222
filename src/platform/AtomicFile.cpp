#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/FileSystem.h"

namespace tola {

namespace {

std::string FolderPart(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NamePart(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

AtomicFile::~AtomicFile() { Abandon(); }

ResultCode AtomicFile::Create(const std::string& path) {
  Abandon();
  std::string target;
  if (const ResultCode r = ReplaceableTarget(path, target); r != kErrorSuccess) return r;
  m_path = target;
  std::string pattern = FolderPart(m_path) + "/." + NamePart(m_path) + ".tmp-XXXXXX";
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
  m_fd = fd;
  m_writeError = kErrorSuccess;
  m_tempPath.assign(buffer.data());
  return kErrorSuccess;
}

ResultCode AtomicFile::Write(const void* data, std::size_t size) {
  if (m_fd < 0) return kErrorInvalidHandle;
  if (m_writeError != kErrorSuccess) return m_writeError;
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = m_write ? m_write(m_fd, p, size) : ::write(m_fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return m_writeError = ResultFromErrno(errno);
    }
    if (n == 0) return m_writeError = kErrorDiskFull;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return kErrorSuccess;
}

ResultCode AtomicFile::Commit() {
  if (m_fd < 0) return kErrorInvalidHandle;
  ResultCode result = m_writeError;
  if (result == kErrorSuccess && ::fsync(m_fd) != 0) result = ResultFromErrno(errno);
  if (::close(m_fd) != 0 && result == kErrorSuccess) result = ResultFromErrno(errno);
  m_fd = -1;
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
  const int dirFd = ::open(FolderPart(m_path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);  // best effort: the file itself is complete either way
    ::close(dirFd);
  }
  return kErrorSuccess;
}

void AtomicFile::Abandon() {
  if (m_fd >= 0) {
    ::close(m_fd);
    m_fd = -1;
  }
  if (!m_tempPath.empty()) {
    ::unlink(m_tempPath.c_str());
    m_tempPath.clear();
  }
}

ResultCode WriteFileAtomically(const std::string& path, std::string_view bytes) {
  AtomicFile file;
  ResultCode r = file.Create(path);
  if (r != kErrorSuccess) return r;
  r = file.Write(bytes);
  if (r != kErrorSuccess) return r;
  return file.Commit();
}

}  // namespace tola
