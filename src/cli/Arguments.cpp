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
  const std::size_t end = OptionsEnd(args);
  for (std::size_t i = 0; i < end; ++i) {
    std::size_t count = 0;
    if (args[i] == name) {
      if (i + 1 >= end) {
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

bool TakePositive(std::vector<std::string>& args, const std::string& name, std::uint32_t& value, std::string& error) {
  std::uint32_t given = value;
  const std::size_t before = args.size();
  if (!TakeNumber(args, name, given, error)) return false;
  if (args.size() != before && given == 0) {
    error = name + " must be at least 1";
    return false;
  }
  value = given;
  return true;
}

bool TakeFlag(std::vector<std::string>& args, const std::string& name) {
  const auto last = args.begin() + static_cast<std::ptrdiff_t>(OptionsEnd(args));
  const auto it = std::find(args.begin(), last, name);
  if (it == last) return false;
  args.erase(it);
  return true;
}

bool UnknownOption(std::vector<std::string>& args, std::string& error) {
  const std::size_t end = OptionsEnd(args);
  for (std::size_t i = 0; i < end; ++i) {
    if (LooksLikeOption(args[i])) {
      error = "unknown option \"" + args[i] + "\"";
      return true;
    }
  }
  if (end < args.size()) args.erase(args.begin() + static_cast<std::ptrdiff_t>(end));
  return false;
}

bool LooksLikeOption(const std::string& arg) {
  return arg.size() > 1 && arg[0] == '-' && !std::isdigit(static_cast<unsigned char>(arg[1]));
}

std::size_t OptionsEnd(const std::vector<std::string>& args) {
  return static_cast<std::size_t>(std::find(args.begin(), args.end(), "--") - args.begin());
}

}  // namespace tola::cli
