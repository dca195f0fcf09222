#include "bench/BenchOperations.h"

namespace tola::bench {

std::vector<Operation> Operations(bool /*quick*/) { return {}; }

}  // namespace tola::bench
