#pragma once
// The text of any result code: the program's own message table, the file server's range, the
// system's texts, and the errno values the Linux layer carries in the program's range.

#include <cstdint>
#include <string>

#include "platform/ResultCode.h"

namespace tola {

// Without the stored trailing line break; empty for a code no table knows. For 12003 the file
// server's last response is appended on a line of its own.
std::string ErrorText(ResultCode code);

// The system's text of a code outside the program's own and the file server's ranges, as the
// system gives it (line break and all); empty when it has none. One file per system.
std::string SystemErrorText(ResultCode code);

// The file server's last response (number and text), kept for the 12003 line. Thread-safe.
void SetLastServerResponse(std::uint32_t serverError, const std::string& text);

}  // namespace tola
