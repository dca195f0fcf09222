#include "formats/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <limits>

namespace tola {

ResultCode MappedFile::Open(const std::string& path) {
  Close();
  // O_NONBLOCK so that a named pipe given by mistake does not hang the open.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    m_failedCall = "CreateFile";
    return ResultFromErrno(errno);
  }
  m_file = fd;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    Close();
    m_failedCall = "GetFileSize";
    return ResultFromErrno(err);
  }
  if (!S_ISREG(st.st_mode)) {
    Close();
    m_failedCall = "CreateFile";
    return S_ISDIR(st.st_mode) ? kErrorDirectory : kErrorInvalidFunction;
  }
  if (st.st_size == 0) return kErrorSuccess;
  if (static_cast<std::uintmax_t>(st.st_size) > std::numeric_limits<std::size_t>::max()) {
    Close();
    m_failedCall = "GetFileSize";
    return kErrorFileTooLarge;
  }
  const auto size = static_cast<std::size_t>(st.st_size);
  void* view = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (view == MAP_FAILED) {
    const int err = errno;
    Close();
    m_failedCall = "ReadFile";
    return ResultFromErrno(err);
  }
  ::madvise(view, size, MADV_SEQUENTIAL);
  m_view = view;
  m_data = static_cast<const char*>(view);
  m_size = size;
  return kErrorSuccess;
}

void MappedFile::Close() {
  if (m_view != nullptr) {
    ::munmap(m_view, m_size);
    m_view = nullptr;
  }
  m_data = nullptr;
  m_size = 0;
  if (m_file != kNoFile) {
    ::close(static_cast<int>(m_file));
    m_file = kNoFile;
  }
}

}  // namespace tola
