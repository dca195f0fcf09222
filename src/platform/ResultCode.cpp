#include "platform/ResultCode.h"

namespace tola {

namespace {
thread_local ResultCode t_lastError = 0;
}

void SetLastError(ResultCode code) { t_lastError = code; }
ResultCode GetLastError() { return t_lastError; }

}  // namespace tola
