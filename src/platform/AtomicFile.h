#pragma once
// Writes a file so that a crash, a full disk or a failed write never leaves a half-written file in
// place of a good one: the bytes go to a temporary file in the same folder, which is flushed to disk
// and then renamed over the target; the folder is synced so the rename itself survives a crash.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/ResultCode.h"

namespace tola {

class AtomicFile {
 public:
  // Asked before each system write of `size` bytes, so tests can make a write fail part-way: it
  // may lower `size` (a short write; 0 writes nothing, which counts as a full disk) or return a
  // failure code the write then ends with.
  using WriteFn = std::function<ResultCode(std::size_t& size)>;

  AtomicFile() = default;
  ~AtomicFile();  // abandons an uncommitted file
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Opens a new temporary file beside `path`. The target is untouched until Commit. Only a regular
  // file is ever replaced: through a symbolic link, the file it names (in that file's folder);
  // anything else standing at `path` is refused (see ReplaceableTarget).
  ResultCode Create(const std::string& path);
  ResultCode Write(const void* data, std::size_t size);
  ResultCode Write(std::string_view text) { return Write(text.data(), text.size()); }
  // Flushes, closes and renames the temporary over the target. On failure (including any earlier
  // failed Write) the temporary is removed and the target keeps what it had.
  ResultCode Commit();
  // Removes the temporary file; the target keeps what it had.
  void Abandon();
  // Closes this object's hold on the temporary file so that another writer (a download) can fill
  // it by its name; Commit then syncs and renames it as usual, Abandon removes it.
  void HandOver();

  bool IsOpen() const { return m_file != kNoFile; }
  const std::string& TemporaryPath() const { return m_tempPath; }

  void SetWriteFn(WriteFn fn) { m_write = std::move(fn); }

 private:
  // The system's own write: some of the bytes, how many in `written`.
  ResultCode WriteSome(const char* data, std::size_t size, std::size_t& written);
  // Where the temporary for `target` goes: its folder, ".<name>.tmp-" and six characters to fill.
  static std::string TemporaryPattern(const std::string& target);

  // A file descriptor on Linux, a handle on Windows (whose invalid handle is -1 as well).
  static constexpr std::intptr_t kNoFile = -1;
  std::intptr_t m_file = kNoFile;
  std::string m_path;
  std::string m_tempPath;
  WriteFn m_write;
  ResultCode m_writeError = kErrorSuccess;
};

// The whole of `bytes` as the new content of `path`, atomically.
ResultCode WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace tola
