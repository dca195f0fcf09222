#include <gtest/gtest.h>

#include <string>

#include "app/Format.h"
#include "formats/RtfReader.h"
#include "support/TempFolder.h"

namespace tola {
namespace {

std::string Doc(const std::string& body) { return "{\\rtf1\\ansi " + body + "}"; }

// One line per document: paragraphs split by '|', a non-left paragraph led by its alignment, an
// indented one by [left,first,right] in twips, every
// run led by its format in <>: b, i, u, s<half points> when not 12 pt, #rrggbb when coloured.
std::string Render(const StyledText& text) {
  std::string out;
  for (const StyledParagraph& paragraph : text.paragraphs) {
    if (&paragraph != &text.paragraphs.front()) out += '|';
    if (paragraph.alignment != TextAlignment::Left)
      out += "?CRJ"[static_cast<int>(paragraph.alignment)] + std::string(":");
    if (const ParagraphIndents& in = paragraph.indents; !(in == ParagraphIndents{}))
      out += FormatText("[%d,%d,%d]", in.left, in.firstLine, in.right);
    for (const StyledRun& run : paragraph.runs) {
      const CharFormat& f = run.format;
      out += '<';
      if (f.bold) out += 'b';
      if (f.italic) out += 'i';
      if (f.underline) out += 'u';
      if (f.halfPoints != kDefaultRtfHalfPoints) out += FormatText("s%d", f.halfPoints);
      if (f.colour) out += FormatText("#%02x%02x%02x", f.colour->red, f.colour->green, f.colour->blue);
      out += '>' + run.text;
    }
  }
  return out;
}

struct ReadCase {
  const char* name;
  std::string rtf;
  std::string rendered;
};

void ExpectRead(const ReadCase& c) {
  SCOPED_TRACE(c.name);
  const RtfReadResult result = ReadRtf(c.rtf);
  EXPECT_EQ(result.error, "");
  EXPECT_EQ(Render(result.text), c.rendered);
}

TEST(RtfReader, EscapesAndCodePage) {
  const ReadCase cases[] = {
      {"escaped specials", Doc("\\\\ \\{ \\}"), "<>\\ { }"},
      {"non-breaking space and hyphen, optional hyphen dropped", Doc("a\\~b\\-c\\_d"),
       "<>a\u00A0bc\u2011d"},
      {"hex bytes through code page 1252", Doc("\\'e9\\'80\\'8A\\'9f\\'81"), "<>\u00E9\u20AC\u0160\u0178\uFFFD"},
      {"8-bit bytes as they stand", Doc("caf\xE9 \x93q\x94"), "<>caf\u00E9 \u201Cq\u201D"},
      {"typographic words", Doc("\\emdash\\endash\\bullet\\lquote\\rquote\\ldblquote\\rdblquote"),
       "<>\u2014\u2013\u2022\u2018\u2019\u201C\u201D"},
      {"line ends and control bytes are no text", Doc("a\r\nb\\'0d\\'0a\\'07c\x01"), "<>abc"},
      {"a broken hex escape carries nothing", Doc("a\\'zb\\'4"), "<>azb4"},
      {"one delimiting space eaten, the second kept", Doc("\\b0  x\\i0-y"), "<> x-y"},
      {"unknown words and their parameters vanish", Doc("a\\foo12 b\\bar-3c"), "<>abc"},
  };
  for (const ReadCase& c : cases) ExpectRead(c);
}

TEST(RtfReader, UnicodeAndItsFallback) {
  const ReadCase cases[] = {
      {"one fallback character by default", Doc("caf\\u233?s"), "<>caf\u00E9s"},
      {"\\uc2 skips two hex escapes", Doc("\\uc2\\u8364\\'80\\'80x"), "<>\u20ACx"},
      {"\\uc0 skips nothing", Doc("\\uc0\\u1078\\u1091?"), "<>\u0436\u0443?"},
      {"negative values wrap", Doc("\\u-3913?"), "<>\uF0B7"},
      {"surrogate pair", Doc("\\u-10179?\\u-8704?"), "<>\U0001F600"},
      {"lone high and low surrogates", Doc("\\u-10179? x\\u-8704?"), "<>\uFFFD x\uFFFD"},
      {"a control word counts as one fallback character", Doc("\\u945\\emdash x"), "<>\u03B1x"},
      {"a closing brace ends the fallback", Doc("{\\uc3\\u945 a}bc"), "<>\u03B1bc"},
      {"an opening brace ends it too", Doc("\\u945{\\b b}"), "<>\u03B1<b>b"},
      {"\\uc returns with its group", Doc("{\\uc0 }\\u945 ?"), "<>\u03B1"},
      {"control code points dropped", Doc("\\u7?\\u9?\\u10?"), "<>\t"},
  };
  for (const ReadCase& c : cases) ExpectRead(c);
}

TEST(RtfReader, BinaryDataAndSkippedGroups) {
  const ReadCase cases[] = {
      {"\\bin skips braces and backslashes", Doc("a\\bin4 {}\\}b"), "<>ab"},
      {"\\bin longer than the input", "{\\rtf1 a\\bin999 xyz", "<>a"},
      {"\\bin in a picture", Doc("a{\\pict\\bin2 }}b}c"), "<>ac"},
      {"negative \\bin skips nothing", Doc("\\bin-5 x"), "<>x"},
      {"tables and information",
       Doc("{\\fonttbl{\\f0 Arial;}}{\\stylesheet{Normal;}}{\\info{\\title T}}a{\\listtable L}"
           "{\\listoverridetable O}{\\*\\rsidtbl R}{\\*\\generator G;}{\\*\\xmlnstbl X}b"),
       "<>ab"},
      {"headers, footers, pictures, objects",
       Doc("{\\header H}{\\footerl F}a{\\pict 0a0b}{\\object{\\*\\objdata 01}}{\\footnote N}b"), "<>ab"},
      {"Word's data groups",
       Doc("{\\*\\themedata 50}{\\*\\colorschememapping 3c}{\\*\\datastore 01}{\\*\\latentstyles{\\lsd x}}a"),
       "<>a"},
      {"any \\* group, nested groups with it", Doc("a{\\*\\unknown U{\\b V}}b"), "<>ab"},
      {"a field shows its result only", Doc("{\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt shown}}{\\fldinst y}"),
       "<>shown"},
      {"a skipped group ends at its brace", Doc("{\\fonttbl a}{\\b b}"), "<b>b"},
  };
  for (const ReadCase& c : cases) ExpectRead(c);
}

TEST(RtfReader, CharacterFormats) {
  const ReadCase cases[] = {
      {"groups restore the format", Doc("\\b a{\\i b{\\ul\\fs40 c}d}e\\plain f"), "<b>a<bi>b<bius40>c<bi>d<b>e<>f"},
      {"switching off", Doc("\\b\\i\\ul a\\b0 b\\i0 c\\ul0 d\\ul e\\ulnone f"), "<biu>a<iu>b<u>c<>d<u>e<>f"},
      {"font size clamped", Doc("\\fs0 a\\fs99999 b\\fs c"), "<s2>a<s2000>b<>c"},
      {"same format shares a run", Doc("a\\b\\b0 b{}c"), "<>abc"},
      {"colour table and \\cf",
       Doc("{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}x\\cf1 r\\cf2 b\\cf0 a\\cf7 o"),
       "<>x<#ff0000>r<#0000ff>b<>ao"},
      {"a colour table without an auto entry", Doc("{\\colortbl\\red1\\green2\\blue3;}x\\cf0 y{\\cf1 z}\\plain w"),
       "<>x<#010203>y<>zw"},
  };
  for (const ReadCase& c : cases) ExpectRead(c);
}

TEST(RtfReader, ParagraphsAndAlignment) {
  const ReadCase cases[] = {
      {"alignment taken at \\par",
       Doc("\\qc a\\par\\pard b\\par\\qr c\\line d\\tab e\\par {\\qj f\\par}g"), "C:<>a|<>b|R:<>c\nd\te|J:<>f|R:<>g"},
      {"\\pard keeps the character format", Doc("\\b a\\par\\pard b"), "<b>a|<b>b"},
      {"indents taken at \\par, reset by \\pard, bounded",
       Doc("\\fi-240\\li240\\ri99 a\\par\\pard b\\par\\li99999999 c"), "[240,-240,99]<>a|<>b|[31680,0,0]<>c"},
      {"only one trailing empty paragraph dropped", Doc("a\\par\\par"), "<>a|"},
      {"backslash and line end is a paragraph", Doc("a\\\r\nb"), "<>a|<>b"},
      {"missing last braces keep the text", "{\\rtf1 a\\par {\\b b", "<>a|<b>b"},
      {"nothing after the closing brace", "{\\rtf1 a}b{c}\\par", "<>a"},
  };
  for (const ReadCase& c : cases) ExpectRead(c);
}

TEST(RtfReader, RefusedDocuments) {
  const auto nested = [](std::size_t depth) {
    return "{\\rtf1 " + std::string(depth - 1, '{') + "x" + std::string(depth, '}');
  };
  const struct {
    const char* name;
    std::string rtf;
    const char* error;
  } cases[] = {
      {"empty", "", kRtfNotRtf},
      {"plain text", "Release notes", kRtfNotRtf},
      {"leading space", " {\\rtf1 x}", kRtfNotRtf},
      {"misspelt header", "{\\rt1 x}", kRtfNotRtf},
      {"nesting at the limit", nested(kMaxRtfNesting), ""},
      {"nesting past the limit", nested(kMaxRtfNesting + 1), kRtfTooDeep},
      {"32-letter word", Doc("\\" + std::string(32, 'a') + " x"), ""},
      {"33-letter word", Doc("\\" + std::string(33, 'a') + " x"), kRtfDamaged},
      {"10-digit parameter", Doc("\\fs-2147483648 x\\cf9999999999 y"), ""},
      {"11-digit parameter", Doc("\\fs12345678901 x"), kRtfDamaged},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const RtfReadResult result = ReadRtf(c.rtf);
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(result.Ok(), result.error.empty());
    if (!result.Ok()) {
      EXPECT_TRUE(result.text.paragraphs.empty());
    }
  }
}

// Hostile documents finish, and the model stays within a small multiple of the input.
TEST(RtfReader, PathologicalInputsStayBounded) {
  const auto repeat = [](const std::string& piece, std::size_t bytes) {
    std::string out = "{\\rtf1 ";
    while (out.size() < bytes) out += piece;
    return out;
  };
  constexpr std::size_t kMegabyte = 1 << 20;
  const struct {
    const char* name;
    std::string rtf;
    bool ok;
  } cases[] = {
      {"opening braces", repeat("{", kMegabyte), false},
      {"lone surrogates", repeat("\\u-10179", kMegabyte), true},
      {"8-bit bytes", repeat("\x81", kMegabyte), true},
      {"paragraphs", repeat("\\par", kMegabyte), true},
      {"format changes", repeat("\\b x\\b0 y", kMegabyte), true},
      {"groups", repeat("{x}", kMegabyte), true},
      {"huge \\uc", repeat("\\uc2147483647\\u65 x{}", kMegabyte), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const RtfReadResult result = ReadRtf(c.rtf);
    EXPECT_EQ(result.Ok(), c.ok);
    std::size_t textBytes = 0, runs = 0;
    for (const StyledParagraph& paragraph : result.text.paragraphs) {
      runs += paragraph.runs.size();
      for (const StyledRun& run : paragraph.runs) textBytes += run.text.size();
    }
    EXPECT_LE(textBytes, 3 * c.rtf.size());
    EXPECT_LE(runs + result.text.paragraphs.size(), c.rtf.size() / 2);
    if (c.ok) {
      EXPECT_GT(result.text.paragraphs.size(), 0U);
    }
  }
}

TEST(RtfReader, ShippedLicenceAgreementReads) {
  const std::string rtf = test::ReadWholeFile(TOLA_LICENCE_RTF);
  ASSERT_FALSE(rtf.empty());
  const RtfReadResult result = ReadRtf(rtf);
  ASSERT_EQ(result.error, "");
  ASSERT_GT(result.text.paragraphs.size(), 10U);
  const StyledParagraph& title = result.text.paragraphs.front();
  EXPECT_EQ(title.alignment, TextAlignment::Centre);
  ASSERT_FALSE(title.runs.empty());
  EXPECT_TRUE(title.runs.front().format.bold);
  EXPECT_TRUE(title.runs.front().format.colour.has_value());
  // Nothing of the markup leaks into the text.
  for (const StyledParagraph& paragraph : result.text.paragraphs)
    for (const StyledRun& run : paragraph.runs) EXPECT_EQ(run.text.find_first_of("\\{};"), std::string::npos) << run.text;
}

}  // namespace
}  // namespace tola
