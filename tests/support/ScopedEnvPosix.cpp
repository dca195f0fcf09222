#include <cstdlib>

#include "support/TempFolder.h"

namespace tola::test {

void ScopedEnv::Apply(const char* name, const std::optional<std::string>& value) {
  value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
}

}  // namespace tola::test
