#include <cstring>

#include "app/ErrorText.h"
#include "resources/MessageTable.h"

namespace tola {

// Linux has no texts for Win32 numbers: the program carries those it can produce, and errno
// values without a Win32 counterpart keep the C library's description.
std::string SystemErrorText(ResultCode code) {
  const char* text = nullptr;
  if ((code & 0xFFFFF000u) == kErrnoBase) {
    text = ::strerrordesc_np(static_cast<int>(code & 0xFFFu));
  } else {
    text = SystemMessage(code);
  }
  return text ? std::string(text) : std::string();
}

}  // namespace tola
