#pragma once
// Taking a command's own options out of its arguments, and the usage-error exit.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tola::cli {

// "tola: MESSAGE (see `tola --help`)" on standard error; returns the usage exit status.
int Usage(const std::string& message);

// Takes "--name VALUE" or "--name=VALUE" out of `args`; false (with `error`) when the value is
// missing. Absent options leave `value` alone.
bool TakeOption(std::vector<std::string>& args, const std::string& name, std::optional<std::string>& value,
                std::string& error);
// The same for a whole number.
bool TakeNumber(std::vector<std::string>& args, const std::string& name, std::uint32_t& value, std::string& error);
// Takes "--name" out of `args`; true when it was there.
bool TakeFlag(std::vector<std::string>& args, const std::string& name);
// True (with `error`) when something that looks like an option is left over.
bool UnknownOption(const std::vector<std::string>& args, std::string& error);

}  // namespace tola::cli
