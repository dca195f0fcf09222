#include <cstdlib>

#include "support/TempFolder.h"

namespace tola::test {

// An empty value removes the variable.
void ScopedEnv::Apply(const char* name, const std::optional<std::string>& value) {
  ::_putenv_s(name, value ? value->c_str() : "");
}

}  // namespace tola::test
