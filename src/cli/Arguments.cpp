#include "cli/Arguments.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <iostream>

#include "cli/Console.h"

namespace tola::cli {

int Usage(const std::string& message) {
  std::cerr << "tola: " << message << " (see `tola --help`)" << std::endl;
  return kExitUsage;
}

bool TakeOption(std::vector<std::string>& args, const std::string& name, std::optional<std::string>& value,
                std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::size_t count = 0;
    if (args[i] == name) {
      if (i + 1 >= args.size()) {
        error = name + " needs a value";
        return false;
      }
      value = args[i + 1];
      count = 2;
    } else if (args[i].rfind(name + "=", 0) == 0) {
      value = args[i].substr(name.size() + 1);
      count = 1;
    } else {
      continue;
    }
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i + count));
    return true;
  }
  return true;
}

bool TakeNumber(std::vector<std::string>& args, const std::string& name, std::uint32_t& value, std::string& error) {
  std::optional<std::string> text;
  if (!TakeOption(args, name, text, error)) return false;
  if (!text) return true;
  const char* end = text->data() + text->size();
  auto [ptr, ec] = std::from_chars(text->data(), end, value);
  if (text->empty() || ec != std::errc() || ptr != end) {
    error = name + " needs a whole number, not \"" + *text + "\"";
    return false;
  }
  return true;
}

bool TakeFlag(std::vector<std::string>& args, const std::string& name) {
  const auto it = std::find(args.begin(), args.end(), name);
  if (it == args.end()) return false;
  args.erase(it);
  return true;
}

bool UnknownOption(const std::vector<std::string>& args, std::string& error) {
  for (const std::string& a : args) {
    if (a.size() > 1 && a[0] == '-' && !std::isdigit(static_cast<unsigned char>(a[1]))) {
      error = "unknown option \"" + a + "\"";
      return true;
    }
  }
  return false;
}

}  // namespace tola::cli
