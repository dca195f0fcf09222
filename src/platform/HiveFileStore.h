#pragma once
// The settings kept in a text file in the format of registry exports ("Windows Registry Editor
// Version 5.00"), rewritten atomically on every change: the store on Linux, and on Windows when a
// settings file is named. The file may be written by regedit or by hand; whatever it holds is read
// as the registry would hold it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/RegistryStore.h"

namespace tola {

class HiveFileStore final : public RegistryStore {
 public:
  // Files larger than this are not read.
  static constexpr std::size_t kMaxHiveBytes = 16u << 20;

  // Nothing is read until Load.
  explicit HiveFileStore(std::string hivePath);

  // Reads the hive file. A missing file is an empty hive; lines that cannot be understood are
  // skipped and counted (UnreadLines), and the first write after such a load first keeps the file
  // as it was in DamagedCopyPath (a write whose copy fails is refused). A file that exists but
  // cannot be read (or is too large) leaves the hive empty, returns the error, and every later
  // change is refused with that error, so a file the store could not read is never overwritten.
  // For the same reason changes before Load are refused with kErrorInvalidHandle.
  ResultCode Load() override;

  // Creates every missing level of the key (written through to the file when something was new).
  // Paths deeper than 512 levels are refused with kErrorInvalidParameter, as by the registry.
  ResultCode CreateKey(const std::string& keyPath) override;
  bool KeyExists(const std::string& keyPath) const override;

  ResultCode QueryValue(const std::string& keyPath, const std::string& name, RegValue& out) const override;

  // Changes are written through: memory, then the whole file atomically. When the file cannot be
  // written the change is undone in memory and the error returned. Names holding line breaks, zero
  // characters or bytes that are not UTF-8 cannot be kept in the file and are refused with
  // kErrorInvalidParameter.
  ResultCode SetValue(const std::string& keyPath, const std::string& name, std::uint32_t type,
                      const std::vector<std::uint8_t>& data) override;
  ResultCode DeleteValue(const std::string& keyPath, const std::string& name) override;

  // In the order the values were first set or read from the file.
  std::vector<std::string> EnumValueNames(const std::string& keyPath) const override;
  std::vector<std::string> EnumSubKeys(const std::string& keyPath) const override;

  // Never touches the file while set.
  void SetReadOnly(bool readOnly) override { m_readOnly = readOnly; }

  std::string HivePath() const override { return m_hivePath; }
  std::string Location() const override { return m_hivePath; }
  // Lines of the last Load or Parse that held something but were not understood.
  std::size_t UnreadLines() const override { return m_unreadLines; }
  // "<hive>.damaged".
  std::string DamagedCopyPath() const;

  // The whole hive in its file form.
  std::string Serialize() const;
  // Replaces the hive in memory with what `text` holds (the file's bytes, any supported encoding).
  // Nothing is written.
  void Parse(std::string_view text);

 private:
  struct Value {
    std::string name;  // empty for the default value
    RegValue value;
  };
  struct Key {
    std::string name;
    std::vector<Value> values;
    std::vector<Key> subKeys;
  };

  // The bytes of the file at `path`, at most kMaxHiveBytes (kErrorFileTooLarge beyond). `missing`
  // tells a file (or folder) that is not there, which is no error. Only a regular file is read: a
  // folder gives kErrorDirectory, a device or pipe kErrorAccessDenied, and neither is waited on.
  static ResultCode ReadWholeFile(const std::string& path, std::string& raw, bool& missing);
  // A mutation may go ahead only on a store whose file was read.
  ResultCode CheckWritable() const;
  // Writes the hive; on failure puts `before` back in place of the changed tree.
  ResultCode CommitOrUndo(Key&& before);
  Key* FindKey(const std::string& keyPath);
  const Key* FindKey(const std::string& keyPath) const;
  static Key* FindOrCreate(Key& root, const std::vector<std::string>& levels, bool* created);
  static void SetIn(Key& key, const std::string& name, RegValue value);
  static void WriteKey(std::string& out, const Key& key, const std::string& path, bool isRoot);
  struct ParseNode;  // the tree while a file is read
  static void Adopt(Key& key, ParseNode& node);

  std::string m_hivePath;
  Key m_root;
  bool m_loaded = false;
  bool m_readOnly = false;
  ResultCode m_loadError = kErrorSuccess;
  std::size_t m_unreadLines = 0;
  std::optional<std::string> m_damagedBytes;  // the file as read, until its copy is written
};

}  // namespace tola
