#include "formats/MappedFile.h"

#include <limits>

#include "platform/Win32.h"
#include "platform/Win32Text.h"

namespace tola {

namespace {

ResultCode LastError() { return static_cast<ResultCode>(::GetLastError()); }

}  // namespace

ResultCode MappedFile::Open(const std::string& path) {
  Close();
  const std::wstring wide = Wide(path);
  // A folder would only give "access denied" from the open below.
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    m_failedCall = "CreateFile";
    return kErrorDirectory;
  }
  const HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    m_failedCall = "CreateFile";
    return LastError();
  }
  m_file = reinterpret_cast<std::intptr_t>(file);
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    Close();
    m_failedCall = "CreateFile";
    return kErrorInvalidFunction;
  }
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file, &size)) {
    const ResultCode error = LastError();
    Close();
    m_failedCall = "GetFileSize";
    return error;
  }
  if (size.QuadPart == 0) return kErrorSuccess;  // nothing to map
  if (static_cast<unsigned long long>(size.QuadPart) > std::numeric_limits<std::size_t>::max()) {
    Close();
    m_failedCall = "GetFileSize";
    return kErrorFileTooLarge;
  }
  const HANDLE mapping = ::CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  void* view = mapping != nullptr ? ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
  const ResultCode error = LastError();
  // The view keeps the mapping alive.
  if (mapping != nullptr) ::CloseHandle(mapping);
  if (view == nullptr) {
    Close();
    m_failedCall = "ReadFile";
    return error;
  }
  m_view = view;
  m_data = static_cast<const char*>(view);
  m_size = static_cast<std::size_t>(size.QuadPart);
  return kErrorSuccess;
}

void MappedFile::Close() {
  if (m_view != nullptr) {
    ::UnmapViewOfFile(m_view);
    m_view = nullptr;
  }
  m_data = nullptr;
  m_size = 0;
  if (m_file != kNoFile) {
    ::CloseHandle(reinterpret_cast<HANDLE>(m_file));
    m_file = kNoFile;
  }
}

}  // namespace tola
