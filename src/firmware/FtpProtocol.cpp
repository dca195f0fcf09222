#include "firmware/FtpProtocol.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

#include "platform/Text.h"

namespace tola {

namespace {

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsMonth(std::string_view word) {
  static constexpr std::array<std::string_view, 12> kMonths{"jan", "feb", "mar", "apr", "may", "jun",
                                                            "jul", "aug", "sep", "oct", "nov", "dec"};
  return std::any_of(kMonths.begin(), kMonths.end(), [&](std::string_view m) { return EqualNoCase(word, m); });
}

// "12:34" or a year.
bool IsTimeOrYear(std::string_view word) {
  if (word.size() == 5 && word[2] == ':') return AllDigits(word.substr(0, 2)) && AllDigits(word.substr(3));
  return word.size() == 4 && AllDigits(word);
}

struct Token {
  std::string_view text;
  std::size_t end;  // offset just after it in the line
};

std::vector<Token> Tokens(std::string_view line, std::size_t most) {
  std::vector<Token> tokens;
  std::size_t at = 0;
  while (tokens.size() < most) {
    while (at < line.size() && line[at] == ' ') ++at;
    if (at >= line.size()) break;
    const std::size_t start = at;
    while (at < line.size() && line[at] != ' ') ++at;
    tokens.push_back({line.substr(start, at - start), at});
  }
  return tokens;
}

// "drwxr-xr-x 2 owner group 4096 Jan 01 12:00 name": the permissions, then the date (month, day,
// time or year) somewhere after the size, then the name to the end of the line. Some servers leave
// out the group, so the date is looked for rather than counted to.
bool ParseUnixLine(std::string_view line, std::vector<FtpEntry>& entries) {
  const std::vector<Token> tokens = Tokens(line, 9);
  if (tokens.empty() || tokens[0].text.size() != 10 ||
      std::string_view("-dlbcps").find(tokens[0].text[0]) == std::string_view::npos) {
    return false;
  }
  for (std::size_t i = 3; i + 2 < tokens.size(); ++i) {
    if (!IsMonth(tokens[i].text) || !AllDigits(tokens[i + 1].text) || tokens[i + 1].text.size() > 2 ||
        !IsTimeOrYear(tokens[i + 2].text)) {
      continue;
    }
    const std::size_t nameAt = tokens[i + 2].end + 1;
    if (nameAt > line.size()) return false;
    std::string_view name = line.substr(nameAt);
    const char kind = tokens[0].text[0];
    if (kind == 'l') name = name.substr(0, name.find(" -> "));
    if (name != "." && name != "..") entries.push_back({std::string(name), kind == 'd'});
    return true;
  }
  return false;
}

void ParseMachineLine(std::string_view line, std::vector<FtpEntry>& entries) {
  const std::size_t space = line.find(' ');
  if (space == std::string_view::npos) return;
  const std::string_view facts = line.substr(0, space);
  const std::string_view name = line.substr(space + 1);
  bool directory = false;
  for (std::size_t at = 0; at < facts.size();) {
    const std::size_t semicolon = std::min(facts.find(';', at), facts.size());
    const std::string_view fact = facts.substr(at, semicolon - at);
    at = semicolon + 1;
    const std::size_t eq = fact.find('=');
    if (eq == std::string_view::npos || !EqualNoCase(fact.substr(0, eq), "type")) continue;
    const std::string_view type = fact.substr(eq + 1);
    if (EqualNoCase(type, "cdir") || EqualNoCase(type, "pdir")) return;
    directory = EqualNoCase(type, "dir");
  }
  if (name.empty() || name == "." || name == "..") return;
  entries.push_back({std::string(name), directory});
}

}  // namespace

bool ParseListing(std::string_view text, ListingForm form, std::vector<FtpEntry>& entries) {
  std::vector<FtpEntry> found;
  // A line that does not read (the rest of a name holding a line break, say) is passed over; a
  // listing of which no line reads is in some other layout.
  bool anyRead = false, anyUnread = false;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t nl = std::min(text.find('\n', at), text.size());
    std::string_view line = text.substr(at, nl - at);
    at = nl + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    switch (form) {
      case ListingForm::Machine: ParseMachineLine(line, found); break;
      case ListingForm::Unix:
        if (line.rfind("total ", 0) == 0) break;
        (ParseUnixLine(line, found) ? anyRead : anyUnread) = true;
        break;
      case ListingForm::NamesOnly:
        if (line != "." && line != "..") found.push_back({std::string(line), false});
        break;
    }
  }
  if (anyUnread && !anyRead) return false;
  entries.insert(entries.end(), found.begin(), found.end());
  return true;
}

bool IsPlainFileName(std::string_view name) {
  if (name.empty() || name.size() > 255 || name == "." || name == "..") return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F || c == '/' || c == '\\';
  });
}

}  // namespace tola
