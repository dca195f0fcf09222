#include "platform/FileSystem.h"

#include "platform/Win32.h"
#include "platform/Win32Text.h"

#include <shlobj.h>

namespace tola {

extern const char kPathSeparator = '\\';

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

bool IsPathRoot(const std::string& prefix) {
  // The current drive's root ("" before the first separator of "\x" or "/tmp/x") and the empty
  // levels of a network path ("\\server\share").
  if (prefix.empty() || (prefix.size() == 1 && IsPathSeparator(prefix[0]))) return true;
  // "C:" (and anything else ending with a colon), "C:\".
  if (prefix.back() == ':') return true;
  if (prefix.size() == 3 && prefix[1] == ':' && IsPathSeparator(prefix[2])) return true;
  // "\\server": two separators, a name and no further separator.
  if (prefix.size() > 2 && IsPathSeparator(prefix[0]) && IsPathSeparator(prefix[1])) {
    for (std::size_t i = 2; i < prefix.size(); ++i) {
      if (IsPathSeparator(prefix[i])) return false;
    }
    return true;
  }
  return false;
}

namespace {

std::string ShellFolder(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) return {};
  std::string path = Utf8(buffer);
  while (path.size() > 1 && IsPathSeparator(path.back())) path.pop_back();
  return path;
}

constexpr DWORD kNoAttributes = INVALID_FILE_ATTRIBUTES;

DWORD Attributes(const std::string& path) {
  return path.empty() ? kNoAttributes : ::GetFileAttributesW(Wide(path).c_str());
}

// Whether an existing non-folder is a file on a disk: device names ("NUL", "COM1") pass the
// attribute test but are no place for a saved file.
bool IsDiskFile(const std::string& path) {
  const HANDLE h = ::CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return true;  // cannot tell: the write itself reports the problem
  const bool disk = ::GetFileType(h) == FILE_TYPE_DISK;
  ::CloseHandle(h);
  return disk;
}

// "\\.\NUL", "\\.\COM5": the device namespace holds no files.
bool IsDevicePath(const std::string& path) {
  return path.size() >= 4 && IsPathSeparator(path[0]) && IsPathSeparator(path[1]) && path[2] == '.' &&
         IsPathSeparator(path[3]);
}

bool IsAbsolute(const std::string& path) {
  if (!path.empty() && IsPathSeparator(path[0])) return true;
  return path.size() >= 3 && path[1] == ':' && IsPathSeparator(path[2]);
}

}  // namespace

std::string HomeFolder() { return ShellFolder(CSIDL_PROFILE); }

std::string ConfigFolder() { return AppDataFolder(); }

std::string AppDataFolder() { return ShellFolder(CSIDL_APPDATA | CSIDL_FLAG_CREATE); }

std::string DocumentsFolder() { return ShellFolder(CSIDL_PERSONAL); }

bool ListFolder(const std::string& folder, std::vector<std::string>& names) {
  WIN32_FIND_DATAW found{};
  const HANDLE find = ::FindFirstFileW(Wide(JoinPath(folder, "*.*")).c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    names.push_back(Utf8(found.cFileName));
  } while (::FindNextFileW(find, &found));
  ::FindClose(find);
  return true;
}

ResultCode RemoveFile(const std::string& path) {
  return ::DeleteFileW(Wide(path).c_str()) ? kErrorSuccess : static_cast<ResultCode>(::GetLastError());
}

bool IsDirectory(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != kNoAttributes && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsRegularFile(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != kNoAttributes && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

ResultCode ReplaceableTarget(const std::string& path, std::string& target) {
  if (path.empty() || IsPathSeparator(path.back())) return kErrorInvalidName;
  if (IsDevicePath(path)) return kNotRegularFile;
  const DWORD attributes = Attributes(path);
  if (attributes == kNoAttributes) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) return static_cast<ResultCode>(error);
    target = path;  // a new file
    return kErrorSuccess;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return kErrorDirectory;
  // A link (or other reparse point) is not written through, and a device is no file.
  if ((attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) != 0 || !IsDiskFile(path)) {
    return kNotRegularFile;
  }
  target = path;
  return kErrorSuccess;
}

ResultCode CheckWritableFolder(const std::string& folder, std::uint64_t minimumFreeBytes) {
  const std::string where = folder.empty() ? std::string(".") : folder;
  const DWORD attributes = Attributes(where);
  if (attributes == kNoAttributes) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? kErrorPathNotFound : static_cast<ResultCode>(error);
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return kErrorPathNotFound;
  ULARGE_INTEGER available{};
  if (::GetDiskFreeSpaceExW(Wide(where).c_str(), &available, nullptr, nullptr) &&
      available.QuadPart < minimumFreeBytes) {
    return kErrorDiskFull;
  }
  return kErrorSuccess;
}

ResultCode CreateFolder(const std::string& path, unsigned /*mode*/) {
  if (path.empty()) return kErrorPathNotFound;
  if (::CreateDirectoryW(Wide(path).c_str(), nullptr)) return kErrorSuccess;
  return static_cast<ResultCode>(::GetLastError());
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty() || IsAbsolute(path)) return path;
  const std::wstring wide = Wide(path);
  const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  const DWORD length = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return path;
  full.resize(length);
  return Utf8(full);
}

}  // namespace tola
