// Reading the hive file on Windows.

#include <utility>

#include "platform/FileSystem.h"
#include "platform/HiveFileStore.h"
#include "platform/Win32.h"
#include "platform/Win32Text.h"

namespace tola {

namespace {

// Windows says "path not found" both for a folder not made yet (a first run) and for a file
// standing where a folder of the path should be, which no save could get past.
bool BlockedByAFile(const std::string& path) {
  for (std::string folder = FolderOf(path); !folder.empty();) {
    const DWORD attributes = ::GetFileAttributesW(Wide(folder).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    std::string up = FolderOf(folder);
    if (up == folder) break;
    folder = std::move(up);
  }
  return false;
}

}  // namespace

ResultCode HiveFileStore::ReadWholeFile(const std::string& path, std::string& raw, bool& missing) {
  raw.clear();
  missing = false;
  const std::wstring wide = Wide(path);
  // A folder cannot be opened as a file at all; say what it is rather than "access denied".
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return kErrorDirectory;
  const HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    missing = error == ERROR_FILE_NOT_FOUND || (error == ERROR_PATH_NOT_FOUND && !BlockedByAFile(path));
    return missing ? kErrorSuccess : error;
  }
  ResultCode result = kErrorSuccess;
  LARGE_INTEGER size{};
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    // A device or pipe is neither read nor ever replaced by a saved hive.
    result = kErrorAccessDenied;
  } else if (!::GetFileSizeEx(file, &size)) {
    result = ::GetLastError();
  } else if (static_cast<std::uint64_t>(size.QuadPart) > kMaxHiveBytes) {
    result = kErrorFileTooLarge;
  } else {
    char buffer[65536];
    while (true) {
      DWORD read = 0;
      if (!::ReadFile(file, buffer, sizeof buffer, &read, nullptr)) {
        result = ::GetLastError();
        break;
      }
      if (read == 0) break;
      raw.append(buffer, read);
      // The size can grow while we read; the limit holds for what is read.
      if (raw.size() > kMaxHiveBytes) {
        result = kErrorFileTooLarge;
        break;
      }
    }
  }
  ::CloseHandle(file);
  return result;
}

}  // namespace tola
