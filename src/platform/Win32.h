#pragma once
// windows.h for the Windows-only files, without the macros that would rename this program's own
// functions (MessageBox, GetMessage, ...). Include nothing else from the Windows SDK before it.

#include <windows.h>

#undef MessageBox
#undef GetMessage
#undef LoadString
#undef FormatMessage
#undef CopyFile
#undef DeleteFile
#undef MoveFile
#undef CreateDirectory
#undef GetObject
#undef ERROR
#undef IN
#undef OUT
#undef min
#undef max
