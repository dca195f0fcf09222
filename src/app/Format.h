#pragma once
// printf-style filling of the program's texts. A filled text is at most 1,024 characters; a longer
// result is cut there and a malformed pattern yields the pattern itself, so logging never fails.

#include <cstddef>
#include <string>
#include <string_view>

#include <fmt/printf.h>

namespace tola {

inline constexpr std::size_t kMaxFormattedLength = 1024;

std::string CapFormatted(std::string text);

template <typename... Args>
std::string FormatText(std::string_view pattern, const Args&... args) {
  try {
    return CapFormatted(fmt::sprintf(pattern, args...));
  } catch (...) {
    return CapFormatted(std::string(pattern));
  }
}

}  // namespace tola
