#pragma once
// Texts of result codes, as stored: each ends with "\r\n", which ErrorText removes.

#include "platform/ResultCode.h"

namespace tola {

// The program's own codes (facility 0x200); nullptr for a code the table does not hold.
const char* ProgramMessage(ResultCode code);
// Operating-system codes the program can produce (Win32 numbers); nullptr when unknown.
const char* SystemMessage(ResultCode code);
// File-server codes 12000-12174; nullptr when unknown.
const char* InternetMessage(ResultCode code);

}  // namespace tola
