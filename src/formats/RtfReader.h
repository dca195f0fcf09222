#pragma once
// Reads the rich text that word processors save (RTF) into a styled-text model: paragraphs with an
// alignment, each a list of runs of UTF-8 text sharing one character format. The release notes come
// from the network, so the reader treats every input as hostile: no recursion, nesting and token
// lengths bounded, time linear in the input and the model at most a few times its size.
//
// What the model keeps and what it leaves out:
// - Paragraph breaks (\par, \sect, \page, \row) end a paragraph; \line is a '\n' and \tab (also
//   \cell) a '\t' inside the run text. Other control characters never reach the text.
// - A paragraph takes the alignment and indents in effect at its \par (or at its last text for the
//   final one).
// - A trailing empty paragraph (the usual "\par }" at the end of a file) is dropped, so an empty
//   document has no paragraphs. Empty runs are never produced; neighbouring text of the same format
//   shares one run.
// - \'hh and 8-bit bytes are code page 1252; the five bytes that page leaves undefined become
//   U+FFFD, as do lone UTF-16 surrogates from \u.
// - Fonts, styles, pictures, objects, headers and footers, document information and every \*
//   destination are skipped; of a field only its result text is kept.
//
// Damage: a file that does not begin with "{\rtf" is refused. A file whose last braces are missing
// keeps the text read up to its end (word processors sometimes lose the final brace); anything after
// the brace that closes the document is ignored. Nesting deeper than kMaxRtfNesting groups, a control
// word longer than 32 letters or a parameter of more than 10 digits refuse the whole document.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tola {

inline constexpr std::size_t kMaxRtfNesting = 100;
inline constexpr int kDefaultRtfHalfPoints = 24;  // 12 pt, what a reader assumes without \fs
// \fs is clamped to this range, in half points (1 pt to 1000 pt).
inline constexpr int kMinRtfHalfPoints = 2;
inline constexpr int kMaxRtfHalfPoints = 2000;

enum class TextAlignment { Left, Centre, Right, Justify };

struct RgbColour {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;

  bool operator==(const RgbColour&) const = default;
};

struct CharFormat {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  int halfPoints = kDefaultRtfHalfPoints;
  std::optional<RgbColour> colour;  // none: the pane's own text colour

  bool operator==(const CharFormat&) const = default;
};

struct StyledRun {
  std::string text;  // UTF-8, never empty; '\n' a line break, '\t' a tab
  CharFormat format;
};

// Paragraph indents in twips (1/1440 inch): from the left and right margins, and of the first line
// against the rest (negative for a hanging indent, as bulleted lists have).
inline constexpr int kMaxRtfIndentTwips = 31680;
struct ParagraphIndents {
  int left = 0;
  int firstLine = 0;
  int right = 0;
  bool operator==(const ParagraphIndents&) const = default;
};

struct StyledParagraph {
  TextAlignment alignment = TextAlignment::Left;
  ParagraphIndents indents;
  std::vector<StyledRun> runs;  // empty for an empty paragraph
};

struct StyledText {
  std::vector<StyledParagraph> paragraphs;
};

struct RtfReadResult {
  StyledText text;    // empty when the document was refused
  std::string error;  // a sentence for the operator; empty when the document was read

  bool Ok() const { return error.empty(); }
};

// Never throws for any input.
RtfReadResult ReadRtf(std::string_view bytes);

// The texts of `ReadRtf`'s refusals.
inline constexpr const char* kRtfNotRtf = "The file is not a rich-text (RTF) document.";
inline constexpr const char* kRtfTooDeep = "The rich-text document is nested too deeply to be shown.";
inline constexpr const char* kRtfDamaged = "The rich-text document is damaged and cannot be shown.";

}  // namespace tola
