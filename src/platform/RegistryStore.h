#pragma once
// The current user's settings: a tree of keys holding typed values, as the registry keeps them. Key
// and value names compare without regard to case; key paths are relative to the store's root
// (HKEY_CURRENT_USER for the program's settings) and use "\" between levels. Values are read and
// written as (type, bytes) exactly as the store holds them: texts are UTF-16LE with their
// terminating zero when the writer gave one, so readers see odd lengths, missing terminators and
// wrong types just as they were stored.
//
// Two stores implement it: HiveFileStore (a text file in the format of registry exports, the only
// one on Linux, and on Windows when a settings file is named) and Win32RegistryStore (the real
// registry).

#include <cstddef>
#include <cstdint>
#include <memory>
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
  virtual ~RegistryStore() = default;

  // Makes the store usable; changes before it are refused with kErrorInvalidHandle. An error leaves
  // the store empty and refuses every later change with that error.
  virtual ResultCode Load() = 0;

  // Creates every missing level of the key.
  virtual ResultCode CreateKey(const std::string& keyPath) = 0;
  virtual bool KeyExists(const std::string& keyPath) const = 0;

  // kErrorFileNotFound when the key or the value does not exist. The empty name is the default
  // value.
  virtual ResultCode QueryValue(const std::string& keyPath, const std::string& name, RegValue& out) const = 0;

  // The key must exist (kErrorFileNotFound otherwise).
  virtual ResultCode SetValue(const std::string& keyPath, const std::string& name, std::uint32_t type,
                              const std::vector<std::uint8_t>& data) = 0;
  virtual ResultCode DeleteValue(const std::string& keyPath, const std::string& name) = 0;

  // Empty for a missing key.
  virtual std::vector<std::string> EnumValueNames(const std::string& keyPath) const = 0;
  virtual std::vector<std::string> EnumSubKeys(const std::string& keyPath) const = 0;

  // A read-only store refuses every change with kErrorAccessDenied and changes nothing.
  virtual void SetReadOnly(bool readOnly) = 0;

  // The file behind the store; empty when there is none (the real registry).
  virtual std::string HivePath() const { return {}; }
  // Where the settings are, for the operator: the file, or the registry key.
  virtual std::string Location() const = 0;
  // Lines of the file that held something but were not understood at the last Load.
  virtual std::size_t UnreadLines() const { return 0; }
};

// The store of the program's settings: the file `namedFile` when one is named (--settings), else
// the file TOLA_SETTINGS names, else this system's own place for them (the hive file under the
// configuration folder on Linux, the registry under HKEY_CURRENT_USER on Windows). Nothing is read
// until Load.
std::unique_ptr<RegistryStore> MakeSettingsStore(const std::optional<std::string>& namedFile = std::nullopt);
// Where MakeSettingsStore() keeps the settings when no file is named, for help texts.
std::string DefaultSettingsLocation();

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
