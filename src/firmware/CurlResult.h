#pragma once
// libcurl's result codes in the program's one code space (the Linux build's file-server session).

#include "platform/ResultCode.h"

namespace tola {

// A libcurl result (CURLcode) as the program's code. `savedErrno` is the system error behind it:
// the local write's for a write error, the socket's otherwise (0 when unknown).
ResultCode CurlResultCode(int curlCode, int savedErrno);

}  // namespace tola
