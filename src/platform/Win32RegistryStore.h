#pragma once
// The settings store on the Windows registry itself. Keys are opened (and, by CreateKey, created)
// below a root: HKEY_CURRENT_USER for the program's settings, any other key for tests. A key once
// opened stays open until the store goes, as the settings key is kept open for the life of the
// program. Codes are the registry's own.

#include <map>
#include <string>

#include "platform/RegistryStore.h"
#include "platform/Win32.h"

namespace tola {

class Win32RegistryStore final : public RegistryStore {
 public:
  // Key paths are relative to `root`\`rootPath` (the root itself when `rootPath` is empty).
  explicit Win32RegistryStore(HKEY root = HKEY_CURRENT_USER, std::string rootPath = {});
  ~Win32RegistryStore() override;
  Win32RegistryStore(const Win32RegistryStore&) = delete;
  Win32RegistryStore& operator=(const Win32RegistryStore&) = delete;

  // Nothing needs reading; the registry is there.
  ResultCode Load() override;
  ResultCode CreateKey(const std::string& keyPath) override;
  bool KeyExists(const std::string& keyPath) const override;
  ResultCode QueryValue(const std::string& keyPath, const std::string& name, RegValue& out) const override;
  ResultCode SetValue(const std::string& keyPath, const std::string& name, std::uint32_t type,
                      const std::vector<std::uint8_t>& data) override;
  ResultCode DeleteValue(const std::string& keyPath, const std::string& name) override;
  // In the registry's order.
  std::vector<std::string> EnumValueNames(const std::string& keyPath) const override;
  std::vector<std::string> EnumSubKeys(const std::string& keyPath) const override;
  // Keys open so far are closed, to be opened again with the rights that now apply.
  void SetReadOnly(bool readOnly) override;
  // "HKEY_CURRENT_USER" (with the root path) for the current user's hive.
  std::string Location() const override;

 private:
  // The rights a key is opened with: reading, and unless read-only setting values and creating
  // subkeys.
  REGSAM Access() const;
  // The open key at `keyPath`, opened now if it is not open yet (and kept open); null with the
  // registry's code when it cannot be opened.
  HKEY Open(const std::string& keyPath, ResultCode& result) const;
  ResultCode CheckWritable() const;
  void CloseAll();
  std::wstring FullPath(const std::string& keyPath) const;

  HKEY m_root;
  std::string m_rootPath;
  bool m_loaded = false;
  bool m_readOnly = false;
  mutable std::map<std::wstring, HKEY> m_open;  // by full path, as given
};

}  // namespace tola
