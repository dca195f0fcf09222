#pragma once
// Values that persist between runs in the settings hive. Each keeps a current value (what the
// program uses) and a stored value (what the hive held when last read or written); saving writes
// only what differs.

#include <array>
#include <cstdint>
#include <string>

#include "app/NotifyingValue.h"

namespace tola {

class RegistryStore;

inline constexpr const char* kSettingsKey = "Software\\Ostravel\\TOLA Utility";
inline constexpr const char* kPlacementKey = "Software\\Ostravel\\TOLA Utility\\Window";
inline constexpr std::size_t kMacroCount = 16;

// Texts are read with room that doubles from 260 characters up to this many bytes.
inline constexpr std::size_t kMaxTextValueBytes = 0x200000;

class PersistedValue {
 public:
  explicit PersistedValue(std::string name) : m_name(std::move(name)) {}
  virtual ~PersistedValue() = default;
  const std::string& Name() const { return m_name; }
  // Reads the value; on any failure the current value becomes the stored one (still the default).
  virtual void Load(const RegistryStore& store, const std::string& key) = 0;
  // Writes the value when it differs from the stored one; a failed write is tried again next time.
  virtual void Save(RegistryStore& store, const std::string& key) = 0;

 private:
  std::string m_name;
};

class PersistedNumber : public NotifyingValue<std::uint32_t>, public PersistedValue {
 public:
  PersistedNumber(std::uint32_t id, std::string name, std::uint32_t defaultValue)
      : NotifyingValue(id, defaultValue), PersistedValue(std::move(name)), m_stored(defaultValue) {}
  PersistedNumber(std::uint32_t id, std::string name, std::uint32_t defaultValue, std::uint32_t minimum,
                  std::uint32_t maximum)
      : PersistedNumber(id, std::move(name), defaultValue) {
    m_clamped = true;
    m_min = minimum;
    m_max = maximum;
  }
  void Load(const RegistryStore& store, const std::string& key) override;
  void Save(RegistryStore& store, const std::string& key) override;
  std::uint32_t Stored() const { return m_stored; }

 private:
  std::uint32_t m_stored;
  bool m_clamped = false;
  std::uint32_t m_min = 0;
  std::uint32_t m_max = 0;
};

class PersistedText : public NotifyingValue<std::string>, public PersistedValue {
 public:
  PersistedText(std::uint32_t id, std::string name) : NotifyingValue(id), PersistedValue(std::move(name)) {}
  void Load(const RegistryStore& store, const std::string& key) override;
  void Save(RegistryStore& store, const std::string& key) override;
  const std::string& Stored() const { return m_stored; }

 private:
  std::string m_stored;
};

// Sixteen texts under the names pattern + index (1 to 16); notifications carry the index 0 to 15.
class PersistedTextList : public NotifyingValue<std::array<std::string, kMacroCount>>, public PersistedValue {
 public:
  PersistedTextList(std::uint32_t id, std::string pattern)
      : NotifyingValue(id, {}, kMacroCount), PersistedValue(std::move(pattern)) {}
  void Load(const RegistryStore& store, const std::string& key) override;
  void Save(RegistryStore& store, const std::string& key) override;

  const std::string& At(std::size_t index) const { return m_value.at(index); }
  // Changes one entry and notifies with its index.
  void ChangeAt(std::size_t index, std::string text);
  const std::string& StoredAt(std::size_t index) const { return m_stored.at(index); }
  std::string EntryName(std::size_t index) const;

 private:
  std::array<std::string, kMacroCount> m_stored;
};

// Text reading rules shared by texts and lists: REG_SZ or REG_EXPAND_SZ, an even byte count, a
// terminating zero (or no data at all, the empty text). False leaves `out` alone.
bool ReadTextValue(const RegistryStore& store, const std::string& key, const std::string& name,
                   std::string& out);
bool WriteTextValue(RegistryStore& store, const std::string& key, const std::string& name,
                    const std::string& text);

// The ten numbers of the main window's placement, in the order they are written.
struct WindowPlacement {
  std::uint32_t flags = 0;
  std::uint32_t showCmd = 0;
  std::int32_t minPosX = 0, minPosY = 0;
  std::int32_t maxPosX = 0, maxPosY = 0;
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// Writes the placement to the "Window" subkey, stopping at the first failed write.
bool SavePlacement(RegistryStore& store, const WindowPlacement& placement);
// Reads all ten values; false (and `placement` unchanged) unless every one is a 4-byte REG_DWORD.
bool RestorePlacement(const RegistryStore& store, WindowPlacement& placement);

}  // namespace tola
