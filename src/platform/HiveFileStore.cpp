#include "platform/HiveFileStore.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <unordered_map>
#include <utility>

#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "platform/Utf8.h"

namespace tola {

namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kRootName = "HKEY_CURRENT_USER";
constexpr std::string_view kRootShortName = "HKCU";
// Hex lines are wrapped so that no line, with its trailing "\", passes 78 columns.
constexpr std::size_t kHexLineLimit = 77;
constexpr char32_t kReplacement = 0xFFFD;
constexpr char kHexDigits[] = "0123456789abcdef";
// The registry's own limit on the depth of the key tree.
constexpr std::size_t kMaxKeyDepth = 512;

// ---- UTF-8 and UTF-16 -------------------------------------------------------------------------

bool IsValidUtf8(std::string_view text) {
  char32_t cp = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    if (!DecodeUtf8(text, pos, cp)) return false;
  }
  return true;
}


void AppendUnit(std::vector<std::uint8_t>& out, std::uint32_t unit) {
  out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
  out.push_back(static_cast<std::uint8_t>((unit >> 8) & 0xFF));
}

void AppendUtf16(std::vector<std::uint8_t>& out, char32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    AppendUnit(out, 0xD800 + (cp >> 10));
    AppendUnit(out, 0xDC00 + (cp & 0x3FF));
  } else {
    AppendUnit(out, cp);
  }
}

// UTF-8 text, no terminator added. Malformed bytes become U+FFFD.
void AppendUtf16FromUtf8(std::vector<std::uint8_t>& out, std::string_view text) {
  char32_t cp = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    if (DecodeUtf8(text, pos, cp)) {
      AppendUtf16(out, cp);
    } else {
      AppendUtf16(out, kReplacement);
      ++pos;
    }
  }
}

std::string Utf8FromLatin1(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) AppendUtf8(out, static_cast<unsigned char>(c));
  return out;
}

// Text as the file holds it: UTF-8 normally; a REGEDIT4 file, or a hand-edited one, may carry the
// single-byte code page instead, which is taken as Latin-1 rather than lost.
std::string TextFromFile(std::string_view text) {
  return IsValidUtf8(text) ? std::string(text) : Utf8FromLatin1(text);
}

// UTF-16LE (no byte order mark) as UTF-8, all units including zeros.
std::string Utf8FromUtf16Units(const std::uint8_t* data, std::size_t bytes, bool stopAtZero) {
  std::string out;
  out.reserve(bytes / 2);
  const std::size_t units = bytes / 2;
  for (std::size_t i = 0; i < units; ++i) {
    char32_t unit = static_cast<char32_t>(data[2 * i] | (data[2 * i + 1] << 8));
    if (unit == 0 && stopAtZero) break;
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
      const char32_t low = static_cast<char32_t>(data[2 * i + 2] | (data[2 * i + 3] << 8));
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    if (unit >= 0xD800 && unit <= 0xDFFF) unit = kReplacement;
    AppendUtf8(out, unit);
  }
  return out;
}

// The text of a REG_SZ when it can stand between quotes in the file and be read back to the same
// bytes: even length, one terminating zero at the end and none before it, whole surrogate pairs,
// and no control characters that would break the line.
bool CleanText(const std::vector<std::uint8_t>& data, std::string& text) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  const std::size_t units = data.size() / 2;
  if (data[data.size() - 2] != 0 || data[data.size() - 1] != 0) return false;
  for (std::size_t i = 0; i + 1 < units; ++i) {
    const unsigned unit = static_cast<unsigned>(data[2 * i] | (data[2 * i + 1] << 8));
    if (unit < 0x20 && unit != '\t') return false;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 2 >= units) return false;
      const unsigned low = static_cast<unsigned>(data[2 * i + 2] | (data[2 * i + 3] << 8));
      if (low < 0xDC00 || low > 0xDFFF) return false;
      ++i;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return false;
    }
  }
  text = Utf8FromUtf16Units(data.data(), data.size(), true);
  return true;
}

// The file's bytes as UTF-8 text: a UTF-16LE file (with its byte order mark, or recognised by the
// zero high byte of its first character) is converted, a UTF-8 byte order mark dropped.
std::string DecodeFile(std::string_view raw) {
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(raw[i]); };
  if (raw.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE) {
    return Utf8FromUtf16Units(reinterpret_cast<const std::uint8_t*>(raw.data()) + 2,
                              raw.size() - 2, false);
  }
  if (raw.size() >= 2 && at(0) != 0 && at(1) == 0) {
    return Utf8FromUtf16Units(reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size(),
                              false);
  }
  if (raw.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
    return std::string(raw.substr(3));
  }
  return std::string(raw);
}

// ---- names ------------------------------------------------------------------------------------

// Upper case as the registry compares names. ASCII, Latin-1, Latin Extended-A, basic Greek and
// Cyrillic cover every name this program and its users are likely to write.
char32_t FoldCase(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 0x20;
  if (c < 0x80) return c;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
  if (c == 0xFF) return 0x178;
  if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) {
    return c & ~char32_t{1};
  }
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
    return (c % 2 == 0) ? c - 1 : c;
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 0x20;
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  return c;
}

bool SameName(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    char32_t ca = 0;
    char32_t cb = 0;
    // A malformed byte stands for itself, beyond the range of real characters.
    if (!DecodeUtf8(a, i, ca)) ca = 0x110000 + static_cast<unsigned char>(a[i++]);
    if (!DecodeUtf8(b, j, cb)) cb = 0x110000 + static_cast<unsigned char>(b[j++]);
    if (FoldCase(ca) != FoldCase(cb)) return false;
  }
  return i == a.size() && j == b.size();
}

// The name as SameName compares it, for indexing.
std::string FoldedName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  char32_t cp = 0;
  for (std::size_t pos = 0; pos < name.size();) {
    if (DecodeUtf8(name, pos, cp)) {
      AppendUtf8(out, FoldCase(cp));
    } else {
      out += name[pos++];
    }
  }
  return out;
}

// Names the file cannot carry: line breaks end a line, a zero ends the text, and bytes that are not
// UTF-8 would come back as different characters.
bool StorableName(std::string_view name) {
  return name.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos &&
         IsValidUtf8(name);
}

// The levels of a key path; empty levels ("a\\\\b", a trailing "\\") are left out. False for a path
// deeper than the registry allows, which would otherwise let a damaged file build a tree too deep
// to walk.
bool SplitKeyPath(std::string_view path, std::vector<std::string>& levels) {
  levels.clear();
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) {
      if (levels.size() == kMaxKeyDepth) return false;
      levels.emplace_back(path.substr(start, end - start));
    }
    start = end + 1;
  }
  return true;
}

// ---- parsing ----------------------------------------------------------------------------------

std::string_view Trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const char a = s[i] >= 'A' && s[i] <= 'Z' ? static_cast<char>(s[i] + 0x20) : s[i];
    if (a != prefix[i]) return false;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One to eight hex digits and nothing else.
bool ParseHex32(std::string_view s, std::uint32_t& value) {
  if (s.empty() || s.size() > 8) return false;
  value = 0;
  for (const char c : s) {
    const int d = HexDigit(c);
    if (d < 0) return false;
    value = (value << 4) | static_cast<std::uint32_t>(d);
  }
  return true;
}

// Quoted text from `pos` (on the opening quote) to the closing quote, "\\" and "\"" unescaped.
// A backslash before anything else is kept as it stands, as hand-written paths tend to have it.
bool ParseQuoted(std::string_view line, std::size_t& pos, std::string& out) {
  if (pos >= line.size() || line[pos] != '"') return false;
  out.clear();
  for (++pos; pos < line.size(); ++pos) {
    const char c = line[pos];
    if (c == '\\' && pos + 1 < line.size() && (line[pos + 1] == '\\' || line[pos + 1] == '"')) {
      out += line[++pos];
    } else if (c == '"') {
      ++pos;
      return true;
    } else {
      out += c;
    }
  }
  return false;
}

// Comma-separated bytes of exactly two hex digits each; an empty list is zero bytes.
bool ParseHexBytes(std::string_view list, std::vector<std::uint8_t>& out) {
  out.clear();
  list = Trim(list);
  if (list.empty()) return true;
  std::size_t start = 0;
  while (true) {
    std::size_t comma = list.find(',', start);
    const std::string_view token =
        Trim(list.substr(start, comma == std::string_view::npos ? list.npos : comma - start));
    if (token.size() != 2) return false;
    const int high = HexDigit(token[0]);
    const int low = HexDigit(token[1]);
    if (high < 0 || low < 0) return false;
    out.push_back(static_cast<std::uint8_t>(high * 16 + low));
    if (comma == std::string_view::npos) return true;
    start = comma + 1;
  }
}

// A line that can only be the continuation of a wrapped hex line.
bool IsHexContinuation(std::string_view line) {
  if (line.empty()) return false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (HexDigit(c) >= 0 || c == ',' || c == ' ' || c == '\t') continue;
    if (c == '\\' && i + 1 == line.size()) continue;
    return false;
  }
  return true;
}

// REGEDIT4 holds texts in hex values as single-byte characters; the store holds UTF-16.
std::vector<std::uint8_t> WidenSingleByteText(const std::vector<std::uint8_t>& bytes) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  std::vector<std::uint8_t> wide;
  wide.reserve(bytes.size() * 2);
  AppendUtf16FromUtf8(wide, TextFromFile(text));
  return wide;
}

// ---- writing ----------------------------------------------------------------------------------

std::string Escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (const char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

void AppendHexValue(std::string& out, std::string_view prefix,
                    const std::vector<std::uint8_t>& data) {
  out += prefix;
  std::size_t column = prefix.size();
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (column + 3 > kHexLineLimit) {
      out += "\\\n  ";
      column = 2;
    }
    out += kHexDigits[data[i] >> 4];
    out += kHexDigits[data[i] & 0xF];
    column += 2;
    if (i + 1 < data.size()) {
      out += ',';
      ++column;
    }
  }
  out += '\n';
}

void AppendValueLine(std::string& out, const std::string& name, const RegValue& value) {
  std::string head = "@";
  if (!name.empty()) {
    head.assign(1, '"');
    head += Escaped(name);
    head += '"';
  }
  head += '=';
  std::string text;
  if (value.type == kRegSz && CleanText(value.data, text)) {
    out += head + "\"" + Escaped(text) + "\"\n";
    return;
  }
  if (value.type == kRegDword && value.data.size() == 4) {
    const std::uint32_t v = static_cast<std::uint32_t>(value.data[0]) |
                            (static_cast<std::uint32_t>(value.data[1]) << 8) |
                            (static_cast<std::uint32_t>(value.data[2]) << 16) |
                            (static_cast<std::uint32_t>(value.data[3]) << 24);
    out += head + "dword:";
    for (int shift = 28; shift >= 0; shift -= 4) out += kHexDigits[(v >> shift) & 0xF];
    out += '\n';
    return;
  }
  if (value.type == kRegBinary) {
    AppendHexValue(out, head + "hex:", value.data);
    return;
  }
  std::string type;
  std::uint32_t t = value.type;
  do {
    type.insert(type.begin(), kHexDigits[t & 0xF]);
    t >>= 4;
  } while (t != 0);
  AppendHexValue(out, head + "hex(" + type + "):", value.data);
}

}  // namespace

// ---- HiveFileStore ----------------------------------------------------------------------------

HiveFileStore::HiveFileStore(std::string hivePath) : m_hivePath(std::move(hivePath)) {}

ResultCode HiveFileStore::Load() {
  m_root = Key{};
  m_unreadLines = 0;
  m_damagedBytes.reset();
  m_loaded = true;
  m_loadError = kErrorSuccess;
  if (m_hivePath.empty()) return m_loadError = kErrorPathNotFound;
  std::string raw;
  bool missing = false;
  if (const ResultCode r = ReadWholeFile(m_hivePath, raw, missing); r != kErrorSuccess) return m_loadError = r;
  if (missing) return kErrorSuccess;  // first run: nothing saved yet
  Parse(raw);
  // What could not be read would be lost by the next write: the file as it was is kept for it.
  if (m_unreadLines != 0) m_damagedBytes = std::move(raw);
  return kErrorSuccess;
}

// While a file is read, keys and values are found through an index of their folded names, so that
// a file with very many values or keys is read in time proportional to its size. Sequence numbers
// keep the order of first appearance; a value deleted and set again goes to the end.
struct HiveFileStore::ParseNode {
  std::string name;
  std::map<std::uint64_t, Value> values;
  std::unordered_map<std::string, std::uint64_t> valueIndex;
  std::map<std::uint64_t, std::unique_ptr<ParseNode>> subKeys;
  std::unordered_map<std::string, std::uint64_t> subKeyIndex;

  ParseNode* Find(const std::string& level) {
    const auto it = subKeyIndex.find(FoldedName(level));
    return it == subKeyIndex.end() ? nullptr : subKeys.at(it->second).get();
  }
  ParseNode* FindOrCreate(const std::string& level, std::uint64_t& sequence) {
    if (ParseNode* found = Find(level)) return found;
    auto node = std::make_unique<ParseNode>();
    node->name = level;
    ParseNode* raw = node.get();
    subKeyIndex.emplace(FoldedName(level), sequence);
    subKeys.emplace(sequence++, std::move(node));
    return raw;
  }
  void RemoveSubKey(const std::string& level) {
    const auto it = subKeyIndex.find(FoldedName(level));
    if (it == subKeyIndex.end()) return;
    subKeys.erase(it->second);
    subKeyIndex.erase(it);
  }
  void SetValue(const std::string& valueName, RegValue value, std::uint64_t& sequence) {
    const std::string folded = FoldedName(valueName);
    const auto it = valueIndex.find(folded);
    if (it != valueIndex.end()) {
      values.at(it->second).value = std::move(value);
    } else {
      valueIndex.emplace(folded, sequence);
      values.emplace(sequence++, Value{valueName, std::move(value)});
    }
  }
  void RemoveValue(const std::string& valueName) {
    const auto it = valueIndex.find(FoldedName(valueName));
    if (it == valueIndex.end()) return;
    values.erase(it->second);
    valueIndex.erase(it);
  }
};

void HiveFileStore::Adopt(Key& key, ParseNode& node) {
  key.name = std::move(node.name);
  key.values.reserve(node.values.size());
  for (auto& [sequence, value] : node.values) key.values.push_back(std::move(value));
  key.subKeys.reserve(node.subKeys.size());
  for (auto& [sequence, sub] : node.subKeys) {
    key.subKeys.emplace_back();
    Adopt(key.subKeys.back(), *sub);
  }
}

void HiveFileStore::Parse(std::string_view bytes) {
  m_root = Key{};
  m_unreadLines = 0;
  ParseNode root;
  std::uint64_t sequence = 0;
  const std::string text = DecodeFile(bytes);

  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(std::string_view(text).substr(start, end - start));
    start = end + 1;
  }

  bool singleByteTexts = false;  // REGEDIT4
  std::size_t first = 0;
  while (first < lines.size() && Trim(lines[first]).empty()) ++first;
  if (first < lines.size()) {
    const std::string_view header = Trim(lines[first]);
    if (header == kHeader5) {
      ++first;
    } else if (header == kHeader4) {
      singleByteTexts = true;
      ++first;
    }
  }

  // The key the following values belong to; none after a key outside HKEY_CURRENT_USER, a
  // deleted key or a damaged key line, so that their values are not put in the wrong place.
  ParseNode* current = nullptr;
  std::vector<std::string> levels;
  for (std::size_t i = first; i < lines.size(); ++i) {
    const std::string_view line = Trim(lines[i]);
    if (line.empty() || line.front() == ';') continue;

    if (line.front() == '[') {
      current = nullptr;
      if (line.back() != ']' || line.size() < 2) {
        ++m_unreadLines;
        continue;
      }
      std::string_view path = line.substr(1, line.size() - 2);
      const bool remove = !path.empty() && path.front() == '-';
      if (remove) path.remove_prefix(1);
      const std::size_t slash = path.find('\\');
      const std::string_view rootName = path.substr(0, slash);
      if (!SameName(rootName, kRootName) && !SameName(rootName, kRootShortName)) {
        ++m_unreadLines;
        continue;
      }
      const std::string_view below =
          slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
      const std::string keyPath = TextFromFile(below);
      if (!StorableName(keyPath) || !SplitKeyPath(keyPath, levels)) {
        ++m_unreadLines;
        continue;
      }
      if (!remove) {
        current = &root;
        for (const std::string& level : levels) current = current->FindOrCreate(level, sequence);
      } else if (!levels.empty()) {
        ParseNode* parent = &root;
        for (std::size_t l = 0; l + 1 < levels.size() && parent != nullptr; ++l) {
          parent = parent->Find(levels[l]);
        }
        if (parent != nullptr) parent->RemoveSubKey(levels.back());
      }
      continue;
    }

    // Every way out below that does not keep the value leaves a line the hive could not read.
    struct Unread {
      std::size_t& count;
      bool read = false;
      ~Unread() {
        if (!read) ++count;
      }
    } unread{m_unreadLines};
    if (line.front() != '"' && line.front() != '@') continue;
    std::size_t pos = 0;
    std::string name;
    if (line.front() == '@') {
      pos = 1;
    } else {
      if (!ParseQuoted(line, pos, name)) continue;
      name = TextFromFile(name);
    }
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    if (pos >= line.size() || line[pos] != '=') continue;
    std::string data(Trim(line.substr(pos + 1)));

    // A wrapped hex value goes on while its lines end in "\"; the continuation must look like hex
    // bytes, so a truncated value never swallows the key or value line after it.
    bool damaged = false;
    if (StartsWithNoCase(data, "hex")) {
      while (!data.empty() && data.back() == '\\') {
        data.pop_back();
        if (i + 1 < lines.size() && IsHexContinuation(Trim(lines[i + 1]))) {
          data += Trim(lines[++i]);
        } else {
          damaged = true;
          break;
        }
      }
    }
    if (damaged || current == nullptr || !StorableName(name)) continue;

    RegValue value;
    if (data == "-") {
      current->RemoveValue(name);
      unread.read = true;
      continue;
    }
    if (!data.empty() && data.front() == '"') {
      std::size_t end = 0;
      std::string quoted;
      if (!ParseQuoted(data, end, quoted) || end != data.size()) continue;
      value.type = kRegSz;
      value.data.clear();
      AppendUtf16FromUtf8(value.data, TextFromFile(quoted));
      AppendUnit(value.data, 0);
    } else if (StartsWithNoCase(data, "dword:")) {
      std::uint32_t v = 0;
      if (!ParseHex32(Trim(std::string_view(data).substr(6)), v)) continue;
      value.type = kRegDword;
      value.data = DwordBytes(v);
    } else if (StartsWithNoCase(data, "hex")) {
      std::string_view rest = std::string_view(data).substr(3);
      std::uint32_t type = kRegBinary;
      if (!rest.empty() && rest.front() == '(') {
        const std::size_t close = rest.find(')');
        if (close == std::string_view::npos) continue;
        if (!ParseHex32(rest.substr(1, close - 1), type)) continue;
        rest.remove_prefix(close + 1);
      }
      if (rest.empty() || rest.front() != ':') continue;
      if (!ParseHexBytes(rest.substr(1), value.data)) continue;
      value.type = type;
      if (singleByteTexts && (type == kRegSz || type == kRegExpandSz || type == kRegMultiSz)) {
        value.data = WidenSingleByteText(value.data);
      }
    } else {
      continue;
    }
    current->SetValue(name, std::move(value), sequence);
    unread.read = true;
  }
  Adopt(m_root, root);
}

std::string HiveFileStore::Serialize() const {
  std::string out(kHeader5);
  out += "\n\n";
  WriteKey(out, m_root, std::string(kRootName), true);
  return out;
}

void HiveFileStore::WriteKey(std::string& out, const Key& key, const std::string& path,
                             bool isRoot) {
  // Every key has its section, so empty keys survive; the root only when it holds values.
  if (!isRoot || !key.values.empty()) {
    out += "[" + path + "]\n";
    for (const Value& v : key.values) AppendValueLine(out, v.name, v.value);
    out += '\n';
  }
  for (const Key& sub : key.subKeys) WriteKey(out, sub, path + "\\" + sub.name, false);
}

HiveFileStore::Key* HiveFileStore::FindOrCreate(Key& root, const std::vector<std::string>& levels,
                                                bool* created) {
  Key* key = &root;
  for (const std::string& level : levels) {
    auto it = std::find_if(key->subKeys.begin(), key->subKeys.end(),
                           [&](const Key& k) { return SameName(k.name, level); });
    if (it == key->subKeys.end()) {
      key->subKeys.push_back(Key{level, {}, {}});
      if (created != nullptr) *created = true;
      key = &key->subKeys.back();
    } else {
      key = &*it;
    }
  }
  return key;
}

void HiveFileStore::SetIn(Key& key, const std::string& name, RegValue value) {
  auto it = std::find_if(key.values.begin(), key.values.end(),
                         [&](const Value& v) { return SameName(v.name, name); });
  if (it == key.values.end()) {
    key.values.push_back(Value{name, std::move(value)});
  } else {
    it->value = std::move(value);  // the name keeps the spelling it was created with
  }
}

const HiveFileStore::Key* HiveFileStore::FindKey(const std::string& keyPath) const {
  const Key* key = &m_root;
  std::vector<std::string> levels;
  if (!SplitKeyPath(keyPath, levels)) return nullptr;
  for (const std::string& level : levels) {
    auto it = std::find_if(key->subKeys.begin(), key->subKeys.end(),
                           [&](const Key& k) { return SameName(k.name, level); });
    if (it == key->subKeys.end()) return nullptr;
    key = &*it;
  }
  return key;
}

HiveFileStore::Key* HiveFileStore::FindKey(const std::string& keyPath) {
  return const_cast<Key*>(std::as_const(*this).FindKey(keyPath));
}

ResultCode HiveFileStore::CheckWritable() const {
  if (m_readOnly) return kErrorAccessDenied;
  if (!m_loaded) return kErrorInvalidHandle;
  return m_loadError;
}

ResultCode HiveFileStore::CommitOrUndo(Key&& before) {
  ResultCode result = kErrorSuccess;
  const std::string folder = FolderOf(m_hivePath);
  if (!folder.empty() && !IsDirectory(folder)) result = CreateFolderPath(folder, 0700);
  if (result == kErrorSuccess && m_damagedBytes) {
    // Without its copy the damaged file is not replaced at all.
    result = WriteFileAtomically(DamagedCopyPath(), *m_damagedBytes);
    if (result == kErrorSuccess) m_damagedBytes.reset();
  }
  if (result == kErrorSuccess) result = WriteFileAtomically(m_hivePath, Serialize());
  if (result != kErrorSuccess) m_root = std::move(before);
  return result;
}

ResultCode HiveFileStore::CreateKey(const std::string& keyPath) {
  if (const ResultCode r = CheckWritable(); r != kErrorSuccess) return r;
  std::vector<std::string> levels;
  if (!StorableName(keyPath) || !SplitKeyPath(keyPath, levels)) return kErrorInvalidParameter;
  Key before = m_root;
  bool created = false;
  FindOrCreate(m_root, levels, &created);
  if (!created) return kErrorSuccess;
  return CommitOrUndo(std::move(before));
}

std::string HiveFileStore::DamagedCopyPath() const { return m_hivePath + ".damaged"; }

bool HiveFileStore::KeyExists(const std::string& keyPath) const {
  return FindKey(keyPath) != nullptr;
}

ResultCode HiveFileStore::QueryValue(const std::string& keyPath, const std::string& name,
                                     RegValue& out) const {
  const Key* key = FindKey(keyPath);
  if (key == nullptr) return kErrorFileNotFound;
  for (const Value& v : key->values) {
    if (SameName(v.name, name)) {
      out = v.value;
      return kErrorSuccess;
    }
  }
  return kErrorFileNotFound;
}

ResultCode HiveFileStore::SetValue(const std::string& keyPath, const std::string& name,
                                   std::uint32_t type, const std::vector<std::uint8_t>& data) {
  if (const ResultCode r = CheckWritable(); r != kErrorSuccess) return r;
  if (!StorableName(name)) return kErrorInvalidParameter;
  Key* key = FindKey(keyPath);
  if (key == nullptr) return kErrorFileNotFound;
  Key before = m_root;  // a copy: `key` still points into the live tree
  SetIn(*key, name, RegValue{type, data});
  return CommitOrUndo(std::move(before));
}

ResultCode HiveFileStore::DeleteValue(const std::string& keyPath, const std::string& name) {
  if (const ResultCode r = CheckWritable(); r != kErrorSuccess) return r;
  Key* key = FindKey(keyPath);
  if (key == nullptr) return kErrorFileNotFound;
  auto it = std::find_if(key->values.begin(), key->values.end(),
                         [&](const Value& v) { return SameName(v.name, name); });
  if (it == key->values.end()) return kErrorFileNotFound;
  Key before = m_root;
  // `before` is a copy, so `key` and `it` still point into the live tree.
  key->values.erase(it);
  return CommitOrUndo(std::move(before));
}

std::vector<std::string> HiveFileStore::EnumValueNames(const std::string& keyPath) const {
  std::vector<std::string> names;
  if (const Key* key = FindKey(keyPath)) {
    for (const Value& v : key->values) names.push_back(v.name);
  }
  return names;
}

std::vector<std::string> HiveFileStore::EnumSubKeys(const std::string& keyPath) const {
  std::vector<std::string> names;
  if (const Key* key = FindKey(keyPath)) {
    for (const Key& k : key->subKeys) names.push_back(k.name);
  }
  return names;
}

// ---- free helpers -----------------------------------------------------------------------------

bool HivePathNamedByUser() {
  const char* named = std::getenv("TOLA_SETTINGS");
  return named != nullptr && named[0] != '\0';
}

std::string DefaultHivePath() {
  if (HivePathNamedByUser()) return std::getenv("TOLA_SETTINGS");
  const std::string config = ConfigFolder();
  if (config.empty()) return {};
  return JoinPath(JoinPath(config, "Ostravel"), "TOLA Utility.reg");
}

std::vector<std::uint8_t> Utf16FromUtf8(std::string_view text) {
  std::vector<std::uint8_t> out;
  out.reserve(text.size() * 2 + 2);
  AppendUtf16FromUtf8(out, text);
  AppendUnit(out, 0);
  return out;
}

std::string Utf8FromUtf16(const std::uint8_t* data, std::size_t bytes) {
  if (data == nullptr) return {};
  return Utf8FromUtf16Units(data, bytes, true);
}

std::string Utf8FromUtf16(const std::vector<std::uint8_t>& data) {
  return Utf8FromUtf16(data.data(), data.size());
}

std::vector<std::uint8_t> DwordBytes(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v & 0xFF), static_cast<std::uint8_t>((v >> 8) & 0xFF),
          static_cast<std::uint8_t>((v >> 16) & 0xFF), static_cast<std::uint8_t>((v >> 24) & 0xFF)};
}

}  // namespace tola
