#include "app/ErrorText.h"
#include "platform/Win32.h"
#include "platform/Win32Text.h"
#include "resources/MessageTable.h"

namespace tola {

std::string SystemErrorText(ResultCode code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
      0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text;
  if (length > 0 && buffer != nullptr) text = Utf8(std::wstring(buffer, length));
  if (buffer != nullptr) ::LocalFree(buffer);
  if (!text.empty()) return text;
  // A system without the text (a trimmed installation, an emulator): the program's own copy.
  const char* stored = SystemMessage(code);
  return stored ? std::string(stored) : std::string();
}

}  // namespace tola
