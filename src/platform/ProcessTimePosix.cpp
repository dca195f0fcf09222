#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/ProcessTime.h"

namespace tola {

std::int64_t MillisecondsSinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  std::string line;
  if (!std::getline(stat, line)) return -1;
  // The command name may hold blanks; the fields counted start after its closing parenthesis.
  const std::size_t close = line.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(line.substr(close + 2));
  std::string field;
  unsigned long long startTicks = 0;
  for (int index = 3; fields >> field; ++index) {
    if (index == 22) {
      startTicks = std::stoull(field);
      break;
    }
  }
  timespec now{};
  ::clock_gettime(CLOCK_BOOTTIME, &now);
  const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
  if (ticksPerSecond <= 0) return -1;
  const std::int64_t startMs = static_cast<std::int64_t>(startTicks * 1000ULL / static_cast<unsigned long long>(ticksPerSecond));
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000 - startMs;
}

}  // namespace tola
