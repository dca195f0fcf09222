#pragma once
// Comparing the ASCII texts of names and protocol words without regard to letter case.

#include <algorithm>
#include <cctype>
#include <string_view>

namespace tola {

inline bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace tola
