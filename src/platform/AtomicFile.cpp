#include "platform/AtomicFile.h"

#include <algorithm>

#include "platform/FileSystem.h"

namespace tola {

AtomicFile::~AtomicFile() { Abandon(); }

std::string AtomicFile::TemporaryPattern(const std::string& target) {
  std::string name(1, '.');
  name.append(FileNameOf(target)).append(".tmp-XXXXXX");
  return JoinPath(FolderOf(target), name);
}

ResultCode AtomicFile::Write(const void* data, std::size_t size) {
  if (!IsOpen()) return kErrorInvalidHandle;
  if (m_writeError != kErrorSuccess) return m_writeError;
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    std::size_t chunk = size;
    if (m_write) {
      if (const ResultCode failed = m_write(chunk); failed != kErrorSuccess) return m_writeError = failed;
      chunk = std::min(chunk, size);
    }
    std::size_t written = 0;
    if (chunk > 0) {
      if (const ResultCode failed = WriteSome(p, chunk, written); failed != kErrorSuccess) {
        return m_writeError = failed;
      }
    }
    if (written == 0) return m_writeError = kErrorDiskFull;
    p += written;
    size -= written;
  }
  return kErrorSuccess;
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
