#pragma once
// The operations the link benchmark measures after the port test.

#include <functional>
#include <string>
#include <vector>

namespace tola::bench {

class Link;

struct Operation {
  std::string name;
  std::function<bool(Link&)> run;
};

// `quick`: shorter forms (a small firmware image, fewer operate cycles).
std::vector<Operation> Operations(bool quick);

}  // namespace tola::bench
