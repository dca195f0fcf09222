#pragma once
// The current user's settings hive: a tree of keys holding typed values, kept in a text file in the
// format of registry exports ("Windows Registry Editor Version 5.00") and rewritten atomically on
// every change. Key and value names compare without regard to case; key paths are relative to
// HKEY_CURRENT_USER and use "\" between levels. Texts are held as UTF-16LE bytes with their
// terminating zero, as the registry itself holds them, so readers see exactly what a registry
// would give them (odd lengths, missing terminators and wrong types included).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ResultCode.h"

namespace tola {

enum : std::uint32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegMultiSz = 7,
  kRegQword = 11,
};

struct RegValue {
  std::uint32_t type = kRegNone;
  std::vector<std::uint8_t> data;

  bool operator==(const RegValue&) const = default;
};

class RegistryStore {
 public:
  // Files larger than this are not read.
  static constexpr std::size_t kMaxHiveBytes = 16u << 20;

  // Nothing is read until Load.
  explicit RegistryStore(std::string hivePath);

  // Reads the hive file. A missing file is an empty hive; lines that cannot be understood are
  // skipped and counted (UnreadLines), and the first write after such a load first keeps the file
  // as it was in DamagedCopyPath (a write whose copy fails is refused). A file that exists but
  // cannot be read (or is too large) leaves the hive empty, returns the error, and every later
  // change is refused with that error, so a file the store could not read is never overwritten. For the same reason changes before Load are refused with
  // kErrorInvalidHandle.
  ResultCode Load();

  // Creates every missing level of the key (written through to the file when something was new).
  // Paths deeper than 512 levels are refused with kErrorInvalidParameter, as by the registry.
  ResultCode CreateKey(const std::string& keyPath);
  bool KeyExists(const std::string& keyPath) const;

  // kErrorFileNotFound when the key or the value does not exist. The empty name is the default
  // value.
  ResultCode QueryValue(const std::string& keyPath, const std::string& name, RegValue& out) const;

  // Changes are written through: memory, then the whole file atomically. When the file cannot be
  // written the change is undone in memory and the error returned. The key must exist
  // (kErrorFileNotFound otherwise). Names holding line breaks, zero characters or bytes that are
  // not UTF-8 cannot be kept in the file and are refused with kErrorInvalidParameter.
  ResultCode SetValue(const std::string& keyPath, const std::string& name, std::uint32_t type,
                      const std::vector<std::uint8_t>& data);
  ResultCode DeleteValue(const std::string& keyPath, const std::string& name);

  // In the order the values were first set or read from the file; empty for a missing key.
  std::vector<std::string> EnumValueNames(const std::string& keyPath) const;
  std::vector<std::string> EnumSubKeys(const std::string& keyPath) const;

  const std::string& HivePath() const { return m_hivePath; }
  // Lines of the last Load or Parse that held something but were not understood.
  std::size_t UnreadLines() const { return m_unreadLines; }
  // "<hive>.damaged".
  std::string DamagedCopyPath() const;

  // A read-only store refuses every change (kErrorAccessDenied) and never touches the file.
  void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }

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

// TOLA_SETTINGS when set and not empty, else "<config folder>/Ostravel/TOLA Utility.reg"; empty
// when there is no configuration folder.
std::string DefaultHivePath();
// True when TOLA_SETTINGS names the hive: a missing file is then worth a warning, not a first run.
bool HivePathNamedByUser();

// UTF-8 text as UTF-16LE bytes with the two-byte terminator. Bytes that are not UTF-8 become
// U+FFFD.
std::vector<std::uint8_t> Utf16FromUtf8(std::string_view text);
// UTF-16LE bytes as UTF-8 text, up to the first zero unit; an odd last byte is ignored and
// unpaired surrogates become U+FFFD.
std::string Utf8FromUtf16(const std::uint8_t* data, std::size_t bytes);
std::string Utf8FromUtf16(const std::vector<std::uint8_t>& data);
// Four bytes, least significant first, as REG_DWORD holds them.
std::vector<std::uint8_t> DwordBytes(std::uint32_t v);

}  // namespace tola
