#include "platform/Win32RegistryStore.h"

#include <utility>

#include "platform/HiveFileStore.h"
#include "platform/Win32Text.h"

namespace tola {

Win32RegistryStore::Win32RegistryStore(HKEY root, std::string rootPath)
    : m_root(root), m_rootPath(std::move(rootPath)) {}

Win32RegistryStore::~Win32RegistryStore() { CloseAll(); }

void Win32RegistryStore::CloseAll() {
  for (auto& [path, key] : m_open) {
    if (key != m_root) ::RegCloseKey(key);
  }
  m_open.clear();
}

void Win32RegistryStore::SetReadOnly(bool readOnly) {
  if (readOnly != m_readOnly) CloseAll();
  m_readOnly = readOnly;
}

ResultCode Win32RegistryStore::Load() {
  m_loaded = true;
  return kErrorSuccess;
}

std::string Win32RegistryStore::Location() const {
  std::string location = m_root == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER" : "registry";
  if (!m_rootPath.empty()) location += "\\" + m_rootPath;
  return location;
}

REGSAM Win32RegistryStore::Access() const {
  return m_readOnly ? KEY_READ : KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
}

std::wstring Win32RegistryStore::FullPath(const std::string& keyPath) const {
  if (m_rootPath.empty()) return Wide(keyPath);
  if (keyPath.empty()) return Wide(m_rootPath);
  return Wide(m_rootPath + "\\" + keyPath);
}

ResultCode Win32RegistryStore::CheckWritable() const {
  if (m_readOnly) return kErrorAccessDenied;
  return m_loaded ? kErrorSuccess : kErrorInvalidHandle;
}

HKEY Win32RegistryStore::Open(const std::string& keyPath, ResultCode& result) const {
  const std::wstring path = FullPath(keyPath);
  result = kErrorSuccess;
  if (path.empty()) return m_root;
  if (const auto it = m_open.find(path); it != m_open.end()) return it->second;
  HKEY key = nullptr;
  result = static_cast<ResultCode>(::RegOpenKeyExW(m_root, path.c_str(), 0, Access(), &key));
  if (result != kErrorSuccess) return nullptr;
  m_open.emplace(path, key);
  return key;
}

ResultCode Win32RegistryStore::CreateKey(const std::string& keyPath) {
  if (const ResultCode r = CheckWritable(); r != kErrorSuccess) return r;
  const std::wstring path = FullPath(keyPath);
  if (path.empty() || m_open.count(path) != 0) return kErrorSuccess;
  HKEY key = nullptr;
  const LSTATUS status = ::RegCreateKeyExW(m_root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, Access(),
                                           nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return static_cast<ResultCode>(status);
  m_open.emplace(path, key);
  return kErrorSuccess;
}

bool Win32RegistryStore::KeyExists(const std::string& keyPath) const {
  ResultCode result = kErrorSuccess;
  return Open(keyPath, result) != nullptr;
}

ResultCode Win32RegistryStore::QueryValue(const std::string& keyPath, const std::string& name,
                                          RegValue& out) const {
  ResultCode result = kErrorSuccess;
  const HKEY key = Open(keyPath, result);
  if (key == nullptr) return result;
  const std::wstring wideName = Wide(name);
  DWORD type = REG_NONE;
  DWORD size = 0;
  LSTATUS status = ::RegQueryValueExW(key, wideName.c_str(), nullptr, &type, nullptr, &size);
  std::vector<std::uint8_t> data;
  // The value may grow between asking its size and reading it: ask again with what it now needs.
  while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    data.resize(size);
    status = ::RegQueryValueExW(key, wideName.c_str(), nullptr, &type, data.empty() ? nullptr : data.data(), &size);
    if (status == ERROR_SUCCESS) {
      data.resize(size);
      out = RegValue{static_cast<std::uint32_t>(type), std::move(data)};
      return kErrorSuccess;
    }
  }
  return static_cast<ResultCode>(status);
}

ResultCode Win32RegistryStore::SetValue(const std::string& keyPath, const std::string& name, std::uint32_t type,
                                        const std::vector<std::uint8_t>& data) {
  if (const ResultCode r = CheckWritable(); r != kErrorSuccess) return r;
  ResultCode result = kErrorSuccess;
  const HKEY key = Open(keyPath, result);
  if (key == nullptr) return result;
  // RegSetValueExW gives a text a terminator it lacks when the character after the given bytes is a
  // zero, reading past them: a copy with a non-zero character after it is stored exactly as given.
  std::vector<std::uint8_t> bytes(data);
  bytes.insert(bytes.end(), {0xFF, 0xFF});
  return static_cast<ResultCode>(
      ::RegSetValueExW(key, Wide(name).c_str(), 0, type, bytes.data(), static_cast<DWORD>(data.size())));
}

ResultCode Win32RegistryStore::DeleteValue(const std::string& keyPath, const std::string& name) {
  if (const ResultCode r = CheckWritable(); r != kErrorSuccess) return r;
  ResultCode result = kErrorSuccess;
  const HKEY key = Open(keyPath, result);
  if (key == nullptr) return result;
  return static_cast<ResultCode>(::RegDeleteValueW(key, Wide(name).c_str()));
}

std::vector<std::string> Win32RegistryStore::EnumValueNames(const std::string& keyPath) const {
  std::vector<std::string> names;
  ResultCode result = kErrorSuccess;
  const HKEY key = Open(keyPath, result);
  if (key == nullptr) return names;
  // Value names are at most 16383 characters.
  std::wstring name(16384, L'\0');
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(name.size());
    if (::RegEnumValueW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.push_back(Utf8(name.substr(0, length)));
  }
  return names;
}

std::vector<std::string> Win32RegistryStore::EnumSubKeys(const std::string& keyPath) const {
  std::vector<std::string> names;
  ResultCode result = kErrorSuccess;
  const HKEY key = Open(keyPath, result);
  if (key == nullptr) return names;
  // Key names are at most 255 characters.
  std::wstring name(256, L'\0');
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(name.size());
    if (::RegEnumKeyExW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.push_back(Utf8(name.substr(0, length)));
  }
  return names;
}

std::unique_ptr<RegistryStore> MakeSettingsStore(const std::optional<std::string>& namedFile) {
  if (namedFile) return std::make_unique<HiveFileStore>(*namedFile);
  if (HivePathNamedByUser()) return std::make_unique<HiveFileStore>(DefaultHivePath());
  return std::make_unique<Win32RegistryStore>();
}

std::string DefaultSettingsLocation() { return "the registry under HKEY_CURRENT_USER"; }

}  // namespace tola
