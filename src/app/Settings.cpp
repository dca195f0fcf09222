#include "app/Settings.h"

#include <cstring>
#include <utility>
#include <vector>

#include "app/Format.h"
#include "platform/RegistryStore.h"

namespace tola {

void PersistedNumber::Load(const RegistryStore& store, const std::string& key) {
  if (Name().empty()) return;
  RegValue value;
  // The read copies up to four bytes over the current number whatever the value's type; a larger
  // value fails.
  std::uint32_t number = m_value;
  if (store.QueryValue(key, Name(), value) == kErrorSuccess && value.data.size() <= 4) {
    unsigned char bytes[4];
    std::memcpy(bytes, &number, 4);
    // An empty value has no data to copy (and, as a vector, no pointer to copy from).
    if (!value.data.empty()) std::memcpy(bytes, value.data.data(), value.data.size());
    std::memcpy(&number, bytes, 4);
    m_value = number;
    m_stored = number;
  } else {
    m_value = m_stored;
  }
  if (m_clamped) {
    if (m_value < m_min) m_value = m_min;
    if (m_value > m_max) m_value = m_max;
  }
}

void PersistedNumber::Save(RegistryStore& store, const std::string& key) {
  if (Name().empty() || m_value == m_stored) return;
  if (store.SetValue(key, Name(), kRegDword, DwordBytes(m_value)) == kErrorSuccess) m_stored = m_value;
}

bool ReadTextValue(const RegistryStore& store, const std::string& key, const std::string& name,
                   std::string& out) {
  RegValue value;
  if (store.QueryValue(key, name, value) != kErrorSuccess) return false;
  if (value.type != kRegSz && value.type != kRegExpandSz) return false;
  const std::size_t size = value.data.size();
  if (size == 0) {
    out.clear();
    return true;
  }
  if (size > kMaxTextValueBytes || size % 2 != 0) return false;
  if (value.data[size - 1] != 0 || value.data[size - 2] != 0) return false;
  out = Utf8FromUtf16(value.data.data(), size);
  return true;
}

bool WriteTextValue(RegistryStore& store, const std::string& key, const std::string& name,
                    const std::string& text) {
  return store.SetValue(key, name, kRegSz, Utf16FromUtf8(text)) == kErrorSuccess;
}

void PersistedText::Load(const RegistryStore& store, const std::string& key) {
  if (Name().empty()) return;
  std::string text;
  if (ReadTextValue(store, key, Name(), text)) {
    m_value = text;
    m_stored = std::move(text);
  } else {
    m_value = m_stored;
  }
}

void PersistedText::Save(RegistryStore& store, const std::string& key) {
  if (Name().empty() || m_value == m_stored) return;
  if (WriteTextValue(store, key, Name(), m_value)) m_stored = m_value;
}

std::string PersistedTextList::EntryName(std::size_t index) const {
  return FormatText(Name(), static_cast<unsigned>(index + 1));
}

void PersistedTextList::Load(const RegistryStore& store, const std::string& key) {
  if (Name().empty()) return;
  for (std::size_t i = 0; i < kMacroCount; ++i) {
    std::string text;
    if (ReadTextValue(store, key, EntryName(i), text)) {
      m_value[i] = text;
      m_stored[i] = std::move(text);
    } else {
      m_value[i] = m_stored[i];
    }
  }
}

void PersistedTextList::Save(RegistryStore& store, const std::string& key) {
  if (Name().empty()) return;
  for (std::size_t i = 0; i < kMacroCount; ++i) {
    if (m_value[i] == m_stored[i]) continue;
    if (WriteTextValue(store, key, EntryName(i), m_value[i])) m_stored[i] = m_value[i];
  }
}

void PersistedTextList::ChangeAt(std::size_t index, std::string text) {
  m_value.at(index) = std::move(text);
  Notify(static_cast<std::uint32_t>(index));
}

namespace {

struct PlacementField {
  const char* name;
  std::uint32_t WindowPlacement::*unsignedField;
  std::int32_t WindowPlacement::*signedField;
};

// The order of writing and reading.
constexpr PlacementField kPlacementFields[] = {
    {"flags", &WindowPlacement::flags, nullptr},     {"showCmd", &WindowPlacement::showCmd, nullptr},
    {"minPosX", nullptr, &WindowPlacement::minPosX}, {"minPosY", nullptr, &WindowPlacement::minPosY},
    {"maxPosX", nullptr, &WindowPlacement::maxPosX}, {"maxPosY", nullptr, &WindowPlacement::maxPosY},
    {"bottom", nullptr, &WindowPlacement::bottom},   {"left", nullptr, &WindowPlacement::left},
    {"right", nullptr, &WindowPlacement::right},     {"top", nullptr, &WindowPlacement::top},
};

}  // namespace

bool SavePlacement(RegistryStore& store, const WindowPlacement& placement) {
  if (store.CreateKey(kPlacementKey) != kErrorSuccess) return false;
  for (const auto& field : kPlacementFields) {
    const std::uint32_t v = field.unsignedField ? placement.*field.unsignedField
                                                : static_cast<std::uint32_t>(placement.*field.signedField);
    if (store.SetValue(kPlacementKey, field.name, kRegDword, DwordBytes(v)) != kErrorSuccess) return false;
  }
  return true;
}

bool RestorePlacement(const RegistryStore& store, WindowPlacement& placement) {
  WindowPlacement read;
  for (const auto& field : kPlacementFields) {
    RegValue value;
    if (store.QueryValue(kPlacementKey, field.name, value) != kErrorSuccess) return false;
    if (value.type != kRegDword || value.data.size() != 4) return false;
    std::uint32_t v;
    std::memcpy(&v, value.data.data(), 4);
    if (field.unsignedField) {
      read.*field.unsignedField = v;
    } else {
      read.*field.signedField = static_cast<std::int32_t>(v);
    }
  }
  placement = read;
  return true;
}

}  // namespace tola
