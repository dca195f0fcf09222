#include "formats/RtfReader.h"

#include <algorithm>
#include <array>
#include <limits>
#include <unordered_map>

#include "platform/Utf8.h"

namespace tola {
namespace {

constexpr std::size_t kMaxWordLetters = 32;
constexpr std::size_t kMaxParameterDigits = 10;
constexpr char32_t kReplacement = 0xFFFD;

// Code page 1252 from 0x80 to 0x9F; zero marks the bytes the page leaves undefined.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t FromCp1252(unsigned char byte) {
  if (byte < 0x80 || byte >= 0xA0) return byte;
  const char16_t mapped = kCp1252High[byte - 0x80];
  return mapped != 0 ? mapped : kReplacement;
}


bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

enum class Word {
  Par,
  Line,
  Tab,
  Pard,
  Plain,
  Bold,
  Italic,
  Underline,
  UnderlineNone,
  FontSize,
  ColourIndex,
  AlignLeft,
  AlignCentre,
  AlignRight,
  AlignJustify,
  LeftIndent,
  FirstLineIndent,
  RightIndent,
  UnicodeSkip,
  Unicode,
  Red,
  Green,
  Blue,
  ColourTable,
  SkipGroup,
  Character,  // a fixed character, given with the entry
};

struct WordEntry {
  Word word;
  char32_t character = 0;
};

const std::unordered_map<std::string_view, WordEntry>& Words() {
  static const std::unordered_map<std::string_view, WordEntry> words = {
      {"par", {Word::Par}},
      {"sect", {Word::Par}},
      {"page", {Word::Par}},
      {"row", {Word::Par}},
      {"line", {Word::Line}},
      {"tab", {Word::Tab}},
      {"cell", {Word::Tab}},
      {"pard", {Word::Pard}},
      {"plain", {Word::Plain}},
      {"b", {Word::Bold}},
      {"i", {Word::Italic}},
      {"ul", {Word::Underline}},
      {"uld", {Word::Underline}},
      {"uldb", {Word::Underline}},
      {"ulw", {Word::Underline}},
      {"ulnone", {Word::UnderlineNone}},
      {"fs", {Word::FontSize}},
      {"cf", {Word::ColourIndex}},
      {"ql", {Word::AlignLeft}},
      {"qc", {Word::AlignCentre}},
      {"qr", {Word::AlignRight}},
      {"qj", {Word::AlignJustify}},
      {"li", {Word::LeftIndent}},
      {"fi", {Word::FirstLineIndent}},
      {"ri", {Word::RightIndent}},
      {"uc", {Word::UnicodeSkip}},
      {"u", {Word::Unicode}},
      {"red", {Word::Red}},
      {"green", {Word::Green}},
      {"blue", {Word::Blue}},
      {"colortbl", {Word::ColourTable}},
      {"emdash", {Word::Character, 0x2014}},
      {"endash", {Word::Character, 0x2013}},
      {"bullet", {Word::Character, 0x2022}},
      {"lquote", {Word::Character, 0x2018}},
      {"rquote", {Word::Character, 0x2019}},
      {"ldblquote", {Word::Character, 0x201C}},
      {"rdblquote", {Word::Character, 0x201D}},
      {"emspace", {Word::Character, 0x2003}},
      {"enspace", {Word::Character, 0x2002}},
      {"qmspace", {Word::Character, 0x2005}},
      // Groups whose content is not text to show.
      {"fonttbl", {Word::SkipGroup}},
      {"stylesheet", {Word::SkipGroup}},
      {"info", {Word::SkipGroup}},
      {"pict", {Word::SkipGroup}},
      {"object", {Word::SkipGroup}},
      {"nonshppict", {Word::SkipGroup}},
      {"header", {Word::SkipGroup}},
      {"headerl", {Word::SkipGroup}},
      {"headerr", {Word::SkipGroup}},
      {"headerf", {Word::SkipGroup}},
      {"footer", {Word::SkipGroup}},
      {"footerl", {Word::SkipGroup}},
      {"footerr", {Word::SkipGroup}},
      {"footerf", {Word::SkipGroup}},
      {"footnote", {Word::SkipGroup}},
      {"ftnsep", {Word::SkipGroup}},
      {"ftnsepc", {Word::SkipGroup}},
      {"aftnsep", {Word::SkipGroup}},
      {"aftnsepc", {Word::SkipGroup}},
      {"listtable", {Word::SkipGroup}},
      {"listoverridetable", {Word::SkipGroup}},
      {"rsidtbl", {Word::SkipGroup}},
      {"generator", {Word::SkipGroup}},
      {"xmlnstbl", {Word::SkipGroup}},
      {"themedata", {Word::SkipGroup}},
      {"colorschememapping", {Word::SkipGroup}},
      {"datastore", {Word::SkipGroup}},
      {"latentstyles", {Word::SkipGroup}},
      {"fldinst", {Word::SkipGroup}},
      {"filetbl", {Word::SkipGroup}},
      {"revtbl", {Word::SkipGroup}},
      {"pgdsctbl", {Word::SkipGroup}},
      {"userprops", {Word::SkipGroup}},
      {"template", {Word::SkipGroup}},
      {"xe", {Word::SkipGroup}},
      {"tc", {Word::SkipGroup}},
      {"txe", {Word::SkipGroup}},
      {"rxe", {Word::SkipGroup}},
      {"bkmkstart", {Word::SkipGroup}},
      {"bkmkend", {Word::SkipGroup}},
  };
  return words;
}

// An indent given in twips, kept within what a page can show (22 inches either way).
int ClampIndent(int twips) { return std::clamp(twips, -kMaxRtfIndentTwips, kMaxRtfIndentTwips); }

enum class Destination { Text, Colours, Skip };

// What a group saves and its closing brace restores.
struct GroupState {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  int halfPoints = kDefaultRtfHalfPoints;
  int colourIndex = -1;  // none given: the pane's colour
  TextAlignment alignment = TextAlignment::Left;
  ParagraphIndents indents;
  int unicodeSkip = 1;
  Destination destination = Destination::Text;
};

class Reader {
 public:
  explicit Reader(std::string_view in) : m_in(in) {}

  RtfReadResult Read() {
    RtfReadResult result;
    if (!m_in.starts_with("{\\rtf")) {
      result.error = kRtfNotRtf;
      return result;
    }
    m_text.paragraphs.emplace_back();
    if (!Parse()) {
      result.error = m_error;
      return result;
    }
    if (m_text.paragraphs.back().runs.empty()) m_text.paragraphs.pop_back();
    result.text = std::move(m_text);
    return result;
  }

 private:
  GroupState& State() { return m_stack.back(); }

  // Stops at the brace that closes the document or at the end of the input.
  bool Parse() {
    const std::size_t size = m_in.size();
    std::size_t i = 0;
    while (i < size) {
      const char c = m_in[i];
      if (c == '{') {
        ++i;
        m_skipChars = 0;
        if (!m_stack.empty()) FlushSurrogate();
        if (m_stack.size() >= kMaxRtfNesting) return Fail(kRtfTooDeep);
        m_stack.push_back(m_stack.empty() ? GroupState{} : State());
      } else if (c == '}') {
        ++i;
        m_skipChars = 0;
        FlushSurrogate();
        m_stack.pop_back();
        if (m_stack.empty()) return true;
      } else if (m_stack.empty()) {
        ++i;  // cannot happen after the header check; kept for safety
      } else if (c == '\\') {
        if (!ControlSequence(i)) return false;
      } else {
        ++i;
        if (c == '\r' || c == '\n' || c == '\0') continue;
        if (SkipFallback()) continue;
        if (State().destination == Destination::Colours) {
          if (c == ';') EndColour();
          continue;
        }
        AppendByte(static_cast<unsigned char>(c));
      }
    }
    FlushSurrogate();
    return true;  // the last braces are missing: keep what was read
  }

  // `i` is at a backslash; moves it past the control word or symbol.
  bool ControlSequence(std::size_t& i) {
    const std::size_t size = m_in.size();
    if (i + 1 >= size) {
      i = size;
      return true;
    }
    const char next = m_in[i + 1];
    if (!IsLetter(next)) {
      i += 2;
      if (next == '\'') {
        const int high = i < size ? HexValue(m_in[i]) : -1;
        const int low = i + 1 < size ? HexValue(m_in[i + 1]) : -1;
        if (high < 0 || low < 0) return true;  // a stray \' carries no character
        i += 2;
        if (SkipFallback()) return true;
        AppendByte(static_cast<unsigned char>(high * 16 + low));
        return true;
      }
      if (SkipFallback()) return true;
      switch (next) {
        case '\\':
        case '{':
        case '}':
          AppendChar(static_cast<unsigned char>(next));
          break;
        case '~':
          AppendChar(0x00A0);
          break;
        case '_':
          AppendChar(0x2011);
          break;
        case '\t':
          AppendChar('\t');
          break;
        case '\r':
        case '\n':
          EndParagraph();
          break;
        case '*':
          State().destination = Destination::Skip;
          break;
        default:
          break;  // \- optional hyphen and the rest show nothing
      }
      return true;
    }

    std::size_t j = i + 1;
    while (j < size && IsLetter(m_in[j])) {
      if (j - i > kMaxWordLetters) return Fail(kRtfDamaged);
      ++j;
    }
    const std::string_view name = m_in.substr(i + 1, j - i - 1);
    bool hasParameter = false;
    long long parameter = 0;
    bool negative = false;
    if (j + 1 < size && m_in[j] == '-' && IsDigit(m_in[j + 1])) {
      negative = true;
      ++j;
    }
    const std::size_t digitsStart = j;
    while (j < size && IsDigit(m_in[j])) {
      if (j - digitsStart >= kMaxParameterDigits) return Fail(kRtfDamaged);
      parameter = parameter * 10 + (m_in[j] - '0');
      hasParameter = true;
      ++j;
    }
    if (j < size && m_in[j] == ' ') ++j;
    i = j;
    if (negative) parameter = -parameter;
    parameter = std::clamp<long long>(parameter, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());

    if (name == "bin") {
      // Raw bytes follow; they are never text, whatever the group.
      const auto count = static_cast<std::size_t>(std::max<long long>(parameter, 0));
      i += std::min(count, size - i);
      SkipFallback();
      return true;
    }
    if (SkipFallback()) return true;
    const auto& words = Words();
    const auto found = words.find(name);
    if (found == words.end()) return true;
    ControlWord(found->second, hasParameter, static_cast<int>(parameter));
    return true;
  }

  void ControlWord(const WordEntry& entry, bool hasParameter, int parameter) {
    GroupState& state = State();
    const bool on = !hasParameter || parameter != 0;
    switch (entry.word) {
      case Word::Par:
        EndParagraph();
        break;
      case Word::Line:
        AppendChar('\n');
        break;
      case Word::Tab:
        AppendChar('\t');
        break;
      case Word::Pard:
        state.alignment = TextAlignment::Left;
        state.indents = {};
        break;
      case Word::Plain:
        state.bold = state.italic = state.underline = false;
        state.halfPoints = kDefaultRtfHalfPoints;
        state.colourIndex = -1;
        break;
      case Word::Bold:
        state.bold = on;
        break;
      case Word::Italic:
        state.italic = on;
        break;
      case Word::Underline:
        state.underline = on;
        break;
      case Word::UnderlineNone:
        state.underline = false;
        break;
      case Word::FontSize:
        state.halfPoints =
            hasParameter ? std::clamp(parameter, kMinRtfHalfPoints, kMaxRtfHalfPoints) : kDefaultRtfHalfPoints;
        break;
      case Word::ColourIndex:
        state.colourIndex = hasParameter ? parameter : -1;
        break;
      case Word::AlignLeft:
        state.alignment = TextAlignment::Left;
        break;
      case Word::AlignCentre:
        state.alignment = TextAlignment::Centre;
        break;
      case Word::AlignRight:
        state.alignment = TextAlignment::Right;
        break;
      case Word::AlignJustify:
        state.alignment = TextAlignment::Justify;
        break;
      case Word::LeftIndent:
        state.indents.left = ClampIndent(parameter);
        break;
      case Word::FirstLineIndent:
        state.indents.firstLine = ClampIndent(parameter);
        break;
      case Word::RightIndent:
        state.indents.right = ClampIndent(parameter);
        break;
      case Word::UnicodeSkip:
        state.unicodeSkip = hasParameter ? std::max(parameter, 0) : 1;
        break;
      case Word::Unicode:
        if (hasParameter) Unicode(parameter);
        break;
      case Word::Red:
      case Word::Green:
      case Word::Blue:
        if (state.destination == Destination::Colours) {
          const auto value = static_cast<std::uint8_t>(std::clamp(parameter, 0, 255));
          if (entry.word == Word::Red) m_colour.red = value;
          if (entry.word == Word::Green) m_colour.green = value;
          if (entry.word == Word::Blue) m_colour.blue = value;
          m_colourGiven = true;
        }
        break;
      case Word::ColourTable:
        if (state.destination == Destination::Text) {
          state.destination = Destination::Colours;
          m_colours.clear();
          m_colour = {};
          m_colourGiven = false;
        }
        break;
      case Word::SkipGroup:
        state.destination = Destination::Skip;
        break;
      case Word::Character:
        AppendChar(entry.character);
        break;
    }
  }

  void Unicode(int parameter) {
    const GroupState& state = State();
    m_skipChars = state.unicodeSkip;
    if (state.destination != Destination::Text) return;
    long long value = parameter;
    if (value < 0) value += 65536;
    if (value < 0 || value > 0xFFFF) {
      AppendChar(kReplacement);
      return;
    }
    const auto unit = static_cast<char32_t>(value);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      FlushSurrogate();
      m_highSurrogate = unit;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      if (m_highSurrogate != 0) {
        const char32_t cp = 0x10000 + ((m_highSurrogate - 0xD800) << 10) + (unit - 0xDC00);
        m_highSurrogate = 0;
        AppendChar(cp);
      } else {
        AppendChar(kReplacement);
      }
    } else if (unit >= 0x20 || unit == '\t') {
      AppendChar(unit);
    }
  }

  // After \u, the next characters are the fallback for readers without Unicode.
  bool SkipFallback() {
    if (m_skipChars == 0) return false;
    --m_skipChars;
    return true;
  }

  void FlushSurrogate() {
    if (m_highSurrogate == 0) return;
    m_highSurrogate = 0;
    AppendText(kReplacement);
  }

  // Control characters other than the tab are layout, which only control words give.
  void AppendByte(unsigned char byte) {
    if (byte < 0x20 && byte != '\t') return;
    AppendChar(FromCp1252(byte));
  }

  void AppendChar(char32_t cp) {
    if (State().destination != Destination::Text) return;
    FlushSurrogate();
    AppendText(cp);
  }

  void AppendText(char32_t cp) {
    const GroupState& state = State();
    CharFormat format;
    format.bold = state.bold;
    format.italic = state.italic;
    format.underline = state.underline;
    format.halfPoints = state.halfPoints;
    if (state.colourIndex >= 0 && static_cast<std::size_t>(state.colourIndex) < m_colours.size())
      format.colour = m_colours[static_cast<std::size_t>(state.colourIndex)];
    StyledParagraph& paragraph = m_text.paragraphs.back();
    paragraph.alignment = state.alignment;
    paragraph.indents = state.indents;
    if (paragraph.runs.empty() || !(paragraph.runs.back().format == format))
      paragraph.runs.push_back(StyledRun{{}, format});
    AppendUtf8(paragraph.runs.back().text, cp);
  }

  void EndParagraph() {
    const GroupState& state = State();
    if (state.destination != Destination::Text) return;
    FlushSurrogate();
    m_text.paragraphs.back().alignment = state.alignment;
    m_text.paragraphs.back().indents = state.indents;
    m_text.paragraphs.emplace_back();
  }

  void EndColour() {
    m_colours.push_back(m_colourGiven ? std::optional<RgbColour>(m_colour) : std::nullopt);
    m_colour = {};
    m_colourGiven = false;
  }

  bool Fail(const char* error) {
    m_error = error;
    return false;
  }

  std::string_view m_in;
  std::vector<GroupState> m_stack;
  StyledText m_text;
  std::vector<std::optional<RgbColour>> m_colours;
  RgbColour m_colour;
  bool m_colourGiven = false;
  int m_skipChars = 0;
  char32_t m_highSurrogate = 0;
  std::string m_error;
};

}  // namespace

RtfReadResult ReadRtf(std::string_view bytes) { return Reader(bytes).Read(); }

}  // namespace tola
