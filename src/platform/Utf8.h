#pragma once
// UTF-8 one code point at a time: the settings hive keeps texts as the registry holds them and the
// rich-text reader builds its runs from code pages and Unicode escapes.

#include <cstddef>
#include <string>
#include <string_view>

namespace tola {

// Decodes one UTF-8 sequence at `pos`; on a malformed sequence (overlong, a surrogate, beyond
// U+10FFFF, cut short) returns false and leaves `pos` on the offending byte.
bool DecodeUtf8(std::string_view text, std::size_t& pos, char32_t& cp);

// Appends the UTF-8 form of `cp`, which must be a valid code point.
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace tola
