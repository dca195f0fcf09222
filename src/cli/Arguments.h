#pragma once
// Taking a command's own options out of its arguments, and the usage-error exit. Options are looked
// for only before a "--"; everything after it is an operand.

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
// The same for a number that must not be 0 (0 would mean "no limit" to the code that uses it).
bool TakePositive(std::vector<std::string>& args, const std::string& name, std::uint32_t& value, std::string& error);
// Takes "--name" out of `args`; true when it was there.
bool TakeFlag(std::vector<std::string>& args, const std::string& name);
// Called once the command's options are taken: true (with `error`) when something that looks like
// an option is left over; otherwise drops the "--", leaving only operands.
bool UnknownOption(std::vector<std::string>& args, std::string& error);

// True when `arg` is an option rather than an operand (a negative number is an operand).
bool LooksLikeOption(const std::string& arg);
// Where the options end: the index of "--", or the size of `args`.
std::size_t OptionsEnd(const std::vector<std::string>& args);

}  // namespace tola::cli
