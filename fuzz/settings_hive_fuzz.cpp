// The settings hive reader over arbitrary bytes, as both programs read it at every start. What it
// keeps must be written so that it reads back the same with nothing left over, and the settings
// readers must cope with whatever it holds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/Settings.h"
#include "platform/HiveFileStore.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  tola::HiveFileStore store("");
  store.Parse(bytes);

  const std::string written = store.Serialize();
  tola::HiveFileStore reread("");
  reread.Parse(written);
  Require(reread.UnreadLines() == 0);
  Require(reread.Serialize() == written);

  for (const std::string& name : store.EnumValueNames(tola::kSettingsKey)) {
    tola::PersistedNumber number(1, name, 10, 5, 25);
    number.Load(store, tola::kSettingsKey);
    Require(number.Get() >= 5 && number.Get() <= 25);
    std::string text;
    if (tola::ReadTextValue(store, tola::kSettingsKey, name, text)) Require(text.size() <= 3 * tola::kMaxTextValueBytes);
  }
  tola::WindowPlacement placement;
  tola::RestorePlacement(store, placement);
  return 0;
}
