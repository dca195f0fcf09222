#include "platform/FileSystem.h"

namespace tola {

namespace {

// Where the last component starts.
std::size_t NameStart(const std::string& path) {
  std::size_t start = path.size();
  while (start > 0 && !IsPathSeparator(path[start - 1])) --start;
  return start;
}

void StripTrailingSeparators(std::string& path) {
  while (!path.empty() && IsPathSeparator(path.back())) path.pop_back();
}

// A file name has to leave room for its temporary (".<name>.tmp-XXXXXX") beside it.
constexpr std::size_t kMaxNameLength = 255;
constexpr std::size_t kTemporaryNameExtra = 13;

}  // namespace

ResultCode CheckWritableFile(const std::string& path, std::uint64_t minimumFreeBytes) {
  std::string target;
  const ResultCode r = ReplaceableTarget(path, target);
  if (r != kErrorSuccess) return r;
  if (FileNameOf(target).size() + kTemporaryNameExtra > kMaxNameLength) return kErrorFilenameExcedRange;
  return CheckWritableFolder(FolderOf(target), minimumFreeBytes);
}

ResultCode CreateFolderPath(const std::string& path, unsigned mode) {
  std::string whole = path;
  StripTrailingSeparators(whole);
  auto createLevel = [mode](const std::string& prefix) -> ResultCode {
    if (IsPathRoot(prefix) || IsDirectory(prefix)) return kErrorSuccess;
    const ResultCode r = CreateFolder(prefix, mode);
    return r == kErrorAlreadyExists ? kErrorSuccess : r;
  };
  for (std::size_t i = 0; i < whole.size(); ++i) {
    if (!IsPathSeparator(whole[i])) continue;
    const ResultCode r = createLevel(whole.substr(0, i));
    if (r != kErrorSuccess) return r;
  }
  return createLevel(whole);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  std::string joined = folder;
  StripTrailingSeparators(joined);
  joined += kPathSeparator;
  joined += name;
  return joined;
}

std::string FolderOf(const std::string& path) {
  const std::size_t start = NameStart(path);
  if (start == 0) return {};
  std::string folder = path.substr(0, start);
  StripTrailingSeparators(folder);
  // What is left of an absolute path is its root.
  if (folder.empty()) return std::string(1, path.front());
  return folder;
}

std::string FileNameOf(const std::string& path) { return path.substr(NameStart(path)); }

std::string RenameExtension(const std::string& path, const std::string& newExt) {
  const std::size_t nameStart = NameStart(path);
  const std::size_t dot = path.find_last_of('.');
  std::string stem = path;
  if (dot != std::string::npos && dot > nameStart) stem = path.substr(0, dot);
  if (newExt.empty()) return stem;
  if (newExt.front() != '.') stem += '.';
  return stem + newExt;
}

}  // namespace tola
