#include "platform/FileSystem.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace tola {

extern const char kPathSeparator = '/';

bool IsPathSeparator(char c) { return c == '/'; }

// The root is what is left of an absolute path before its first separator.
bool IsPathRoot(const std::string& prefix) { return prefix.empty() || prefix == "/"; }

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

// XDG base-directory variables count only when they hold an absolute path.
std::string AbsoluteEnvironment(const char* name) {
  std::string value = Environment(name);
  return (!value.empty() && value.front() == '/') ? value : std::string();
}

std::string StripTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The quoted value of a user-dirs.dirs line, "$HOME" expanded; empty if it is not usable.
std::string UserDirValue(const std::string& text, const std::string& home) {
  std::size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  if (pos >= text.size() || text[pos] != '"') return {};
  std::string value;
  bool closed = false;
  for (++pos; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (c == '\\' && pos + 1 < text.size()) {
      value += text[++pos];
    } else if (c == '"') {
      closed = true;
      break;
    } else {
      value += c;
    }
  }
  if (!closed) return {};
  for (const std::string prefix : {"$HOME", "${HOME}"}) {
    if (value.compare(0, prefix.size(), prefix) == 0 &&
        (value.size() == prefix.size() || value[prefix.size()] == '/')) {
      if (home.empty()) return {};
      return home + value.substr(prefix.size());
    }
  }
  return value.front() == '/' ? value : std::string();
}

std::string DocumentsFromUserDirs(const std::string& home) {
  const std::string config = ConfigFolder();
  if (config.empty()) return {};
  std::ifstream in(JoinPath(config, "user-dirs.dirs"));
  const std::string key = "XDG_DOCUMENTS_DIR=";
  std::string line;
  std::string found;
  while (std::getline(in, line)) {
    std::size_t start = 0;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) ++start;
    if (line.compare(start, key.size(), key) != 0) continue;
    // A later line overrides an earlier one, as the shell reading the file would have it.
    found = UserDirValue(line.substr(start + key.size()), home);
  }
  return found;
}

}  // namespace

std::string HomeFolder() {
  std::string home = AbsoluteEnvironment("HOME");
  if (!home.empty()) return StripTrailingSlashes(home);
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd entry{};
  passwd* result = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 &&
      result != nullptr && result->pw_dir != nullptr && result->pw_dir[0] == '/') {
    return StripTrailingSlashes(result->pw_dir);
  }
  return {};
}

std::string ConfigFolder() {
  std::string config = AbsoluteEnvironment("XDG_CONFIG_HOME");
  if (!config.empty()) return StripTrailingSlashes(config);
  const std::string home = HomeFolder();
  return home.empty() ? std::string() : JoinPath(home, ".config");
}

std::string AppDataFolder() {
  std::string data = AbsoluteEnvironment("XDG_DATA_HOME");
  if (!data.empty()) return StripTrailingSlashes(data);
  const std::string home = HomeFolder();
  return home.empty() ? std::string() : JoinPath(home, ".local/share");
}

std::string DocumentsFolder() {
  std::string documents = AbsoluteEnvironment("XDG_DOCUMENTS_DIR");
  if (!documents.empty()) return StripTrailingSlashes(documents);
  const std::string home = HomeFolder();
  documents = DocumentsFromUserDirs(home);
  if (!documents.empty()) return StripTrailingSlashes(documents);
  return home.empty() ? std::string() : JoinPath(home, "Documents");
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

ResultCode ReplaceableTarget(const std::string& path, std::string& target) {
  if (path.empty() || path.back() == '/') return kErrorInvalidName;
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    if (errno != ENOENT) return errno == ENOTDIR ? kErrorPathNotFound : ResultFromErrno(errno);
    target = path;  // a new file
    return kErrorSuccess;
  }
  if (S_ISREG(st.st_mode)) {
    target = path;
    return kErrorSuccess;
  }
  if (S_ISDIR(st.st_mode)) return kErrorDirectory;
  if (!S_ISLNK(st.st_mode)) return kNotRegularFile;
  // Through the link to what it names; a link that leads nowhere is not written through, since the
  // file would then appear wherever the link happens to point.
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return errno == ENOENT || errno == ELOOP ? kNotRegularFile : ResultFromErrno(errno);
  std::string real(resolved);
  std::free(resolved);
  if (::stat(real.c_str(), &st) != 0) return ResultFromErrno(errno);
  if (S_ISDIR(st.st_mode)) return kErrorDirectory;
  if (!S_ISREG(st.st_mode)) return kNotRegularFile;
  target = std::move(real);
  return kErrorSuccess;
}

ResultCode CheckWritableFolder(const std::string& folder, std::uint64_t minimumFreeBytes) {
  const std::string where = folder.empty() ? std::string(".") : folder;
  struct stat st {};
  if (::stat(where.c_str(), &st) != 0) return errno == ENOENT ? kErrorPathNotFound : ResultFromErrno(errno);
  if (!S_ISDIR(st.st_mode)) return kErrorPathNotFound;
  // A new file and the temporary beside it need write and search rights on the folder.
  if (::access(where.c_str(), W_OK | X_OK) != 0) return ResultFromErrno(errno);
  struct statvfs fs {};
  if (::statvfs(where.c_str(), &fs) == 0) {
    if ((fs.f_flag & ST_RDONLY) != 0) return kErrorWriteProtect;
    // The blocks kept for the superuser count only for the superuser.
    const std::uint64_t blocks = ::geteuid() == 0 ? fs.f_bfree : fs.f_bavail;
    if (blocks * fs.f_frsize < minimumFreeBytes) return kErrorDiskFull;
  }
  return kErrorSuccess;
}

ResultCode CreateFolder(const std::string& path, unsigned mode) {
  if (path.empty()) return kErrorPathNotFound;
  if (::mkdir(path.c_str(), static_cast<mode_t>(mode)) == 0) return kErrorSuccess;
  // A missing level above is a missing path, not a missing file.
  return errno == ENOENT ? kErrorPathNotFound : ResultFromErrno(errno);
}

bool ListFolder(const std::string& folder, std::vector<std::string>& names) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return false;
  while (const dirent* entry = ::readdir(dir)) names.emplace_back(entry->d_name);
  ::closedir(dir);
  return true;
}

ResultCode RemoveFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0 ? kErrorSuccess : ResultFromErrno(errno);
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty() || path.front() == '/') return path;
  char* cwd = ::getcwd(nullptr, 0);
  if (cwd == nullptr) return path;
  std::string absolute = JoinPath(cwd, path);
  std::free(cwd);
  return absolute;
}

}  // namespace tola
