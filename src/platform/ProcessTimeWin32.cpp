#include "platform/ProcessTime.h"
#include "platform/Win32.h"

namespace tola {

namespace {

std::int64_t Hundreds(const FILETIME& time) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

}  // namespace

std::int64_t MillisecondsSinceProcessStart() {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return -1;
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  return (Hundreds(now) - Hundreds(created)) / 10000;  // in units of 100 ns
}

}  // namespace tola
