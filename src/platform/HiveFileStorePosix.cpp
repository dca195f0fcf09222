// Reading the hive file on Linux, and the settings store Linux has: the hive file.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/HiveFileStore.h"

namespace tola {

ResultCode HiveFileStore::ReadWholeFile(const std::string& path, std::string& raw, bool& missing) {
  raw.clear();
  missing = false;
  // Non-blocking so that a hive path naming a pipe cannot hang the program.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    missing = errno == ENOENT;
    return missing ? kErrorSuccess : ResultFromErrno(errno);
  }
  ResultCode result = kErrorSuccess;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    result = ResultFromErrno(errno);
  } else if (S_ISDIR(st.st_mode)) {
    result = kErrorDirectory;
  } else if (!S_ISREG(st.st_mode)) {
    // A device or pipe is neither read nor ever replaced by a saved hive.
    result = kErrorAccessDenied;
  } else if (static_cast<std::uint64_t>(st.st_size) > kMaxHiveBytes) {
    result = kErrorFileTooLarge;
  } else {
    char buffer[65536];
    while (true) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0) {
        if (errno == EINTR) continue;
        result = ResultFromErrno(errno);
        break;
      }
      if (n == 0) break;
      raw.append(buffer, static_cast<std::size_t>(n));
      // The size can grow while we read; the limit holds for what is read.
      if (raw.size() > kMaxHiveBytes) {
        result = kErrorFileTooLarge;
        break;
      }
    }
  }
  ::close(fd);
  return result;
}

std::unique_ptr<RegistryStore> MakeSettingsStore(const std::optional<std::string>& namedFile) {
  return std::make_unique<HiveFileStore>(namedFile ? *namedFile : DefaultHivePath());
}

std::string DefaultSettingsLocation() { return DefaultHivePath(); }

}  // namespace tola
