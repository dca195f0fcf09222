#pragma once
// A whole file mapped read-only for one forward pass. Only ordinary files are accepted: a folder or
// a device would either fail to map or never end.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ResultCode.h"

namespace tola {

class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile() { Close(); }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // On failure the result is a system code and FailedCall names the step, as the file reports show
  // it ("CreateFile", "GetFileSize" or "ReadFile").
  ResultCode Open(const std::string& path);
  void Close();

  // The file's bytes; empty for an empty file.
  std::string_view Text() const { return {m_data, m_size}; }
  const char* FailedCall() const { return m_failedCall; }

 private:
  // A file descriptor on Linux, a handle on Windows (whose invalid handle is -1 as well).
  static constexpr std::intptr_t kNoFile = -1;
  std::intptr_t m_file = kNoFile;
  const char* m_data = nullptr;
  std::size_t m_size = 0;
  void* m_view = nullptr;  // the mapping, when there is one
  const char* m_failedCall = "";
};

}  // namespace tola
