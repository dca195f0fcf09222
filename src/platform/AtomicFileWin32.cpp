#include "platform/AtomicFile.h"

#include <algorithm>
#include <atomic>

#include "platform/FileSystem.h"
#include "platform/Win32.h"
#include "platform/Win32Text.h"

namespace tola {

namespace {

HANDLE AsHandle(std::intptr_t file) { return reinterpret_cast<HANDLE>(file); }

// Six name characters that differ between calls and between processes.
std::string UniqueSuffix() {
  static std::atomic<unsigned> counter{0};
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::uint64_t seed = (static_cast<std::uint64_t>(::GetCurrentProcessId()) << 32) ^ ::GetTickCount64() ^
                       (static_cast<std::uint64_t>(counter.fetch_add(1)) * 0x9E3779B97F4A7C15ull);
  std::string suffix;
  for (int i = 0; i < 6; ++i) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    suffix += kChars[(seed >> 33) % (sizeof kChars - 1)];
  }
  return suffix;
}

}  // namespace

ResultCode AtomicFile::Create(const std::string& path) {
  Abandon();
  std::string target;
  if (const ResultCode r = ReplaceableTarget(path, target); r != kErrorSuccess) return r;
  m_path = target;
  std::string pattern = TemporaryPattern(m_path);
  pattern.resize(pattern.size() - 6);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string temporary = pattern + UniqueSuffix();
    // Readable by others while it is written (a reader sees a file in progress, never a torn target).
    const HANDLE h = ::CreateFileW(Wide(temporary).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                   nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      m_file = reinterpret_cast<std::intptr_t>(h);
      m_writeError = kErrorSuccess;
      m_tempPath = temporary;
      return kErrorSuccess;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return static_cast<ResultCode>(error);
  }
  return kErrorFileExists;
}

ResultCode AtomicFile::WriteSome(const char* data, std::size_t size, std::size_t& written) {
  DWORD done = 0;
  const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
  if (!::WriteFile(AsHandle(m_file), data, chunk, &done, nullptr)) return static_cast<ResultCode>(::GetLastError());
  written = done;
  return kErrorSuccess;
}

void AtomicFile::HandOver() {
  if (!IsOpen()) return;
  ::CloseHandle(AsHandle(m_file));
  m_file = kNoFile;
}

ResultCode AtomicFile::Commit() {
  if (m_tempPath.empty()) return kErrorInvalidHandle;
  // A handed-over file is opened again for its flush.
  const HANDLE h = IsOpen() ? AsHandle(m_file)
                            : ::CreateFileW(Wide(m_tempPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  m_file = kNoFile;
  if (h == INVALID_HANDLE_VALUE) {
    const ResultCode failed = static_cast<ResultCode>(::GetLastError());
    Abandon();
    return failed;
  }
  ResultCode result = m_writeError;
  if (result == kErrorSuccess && !::FlushFileBuffers(h)) result = static_cast<ResultCode>(::GetLastError());
  if (!::CloseHandle(h) && result == kErrorSuccess) result = static_cast<ResultCode>(::GetLastError());
  if (result == kErrorSuccess) {
    // Whatever took the target's name since Create is checked again: only a regular file is replaced.
    std::string target;
    result = ReplaceableTarget(m_path, target);
    if (result == kErrorSuccess && target != m_path) result = kNotRegularFile;
  }
  if (result == kErrorSuccess &&
      !::MoveFileExW(Wide(m_tempPath).c_str(), Wide(m_path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    result = static_cast<ResultCode>(::GetLastError());
  }
  if (result != kErrorSuccess) ::DeleteFileW(Wide(m_tempPath).c_str());
  m_tempPath.clear();
  return result;
}

void AtomicFile::Abandon() {
  if (IsOpen()) {
    ::CloseHandle(AsHandle(m_file));
    m_file = kNoFile;
  }
  if (!m_tempPath.empty()) {
    ::DeleteFileW(Wide(m_tempPath).c_str());
    m_tempPath.clear();
  }
}

}  // namespace tola
