#pragma once
// A fresh folder per test, removed with everything in it afterwards, and small file helpers.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "platform/FileSystem.h"

namespace tola::test {

class TempFolder {
 public:
  TempFolder() {
    static std::atomic<unsigned> counter{0};
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    std::random_device random;
    const auto clock = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
      const std::string name = "tola-test-" + std::to_string(random() ^ clock) + "-" + std::to_string(counter++);
      const std::filesystem::path candidate = base / name;
      if (std::filesystem::create_directory(candidate, ec)) m_path = candidate.string();
    }
    EXPECT_FALSE(m_path.empty()) << "no temporary folder in " << base.string();
  }
  ~TempFolder() {
    if (m_path.empty()) return;
    std::error_code ec;
    // Tests may leave folders read-only; give them back their rights so everything goes.
    const auto writable = std::filesystem::perms::owner_all;
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      std::error_code ignored;
      if (it->is_directory(ignored)) {
        std::filesystem::permissions(it->path(), writable, std::filesystem::perm_options::add, ignored);
      }
    }
    std::filesystem::permissions(m_path, writable, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return m_path; }
  std::string operator/(const std::string& name) const { return JoinPath(m_path, name); }

 private:
  std::string m_path;
};

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.good()) << path;
}

// The names in a folder, "." and ".." left out.
inline std::set<std::string> FolderEntries(const std::string& path) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(path, ec)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// Sets (or with nullopt unsets) an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : m_name(name) {
    if (const char* old = std::getenv(name)) m_old = old;
    Apply(name, value);
  }
  ~ScopedEnv() { Apply(m_name.c_str(), m_old); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  // One file per platform (setenv / _putenv_s).
  static void Apply(const char* name, const std::optional<std::string>& value);
  std::string m_name;
  std::optional<std::string> m_old;
};

}  // namespace tola::test
