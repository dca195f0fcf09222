#include "app/Format.h"

namespace tola {

std::string CapFormatted(std::string text) {
  if (text.size() > kMaxFormattedLength) text.resize(kMaxFormattedLength);
  return text;
}

}  // namespace tola
