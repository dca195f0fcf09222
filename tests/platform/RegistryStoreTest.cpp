#include "platform/HiveFileStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/TempFolder.h"

namespace tola {
namespace {

using test::ReadWholeFile;
using test::TempFolder;
using test::WriteWholeFile;
using Bytes = std::vector<std::uint8_t>;
using namespace std::literals;

const std::string kKey = "Software\\Ostravel\\TOLA Utility";
const std::string kWindowKey = "Software\\Ostravel\\TOLA Utility\\Window";

// A settings export as regedit writes it (here in UTF-8 with LF; the tests also turn it into
// regedit's own UTF-16LE with byte order mark and CRLF).
const std::string kExport =
    R"(Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software]

[HKEY_CURRENT_USER\Software\Ostravel]

[HKEY_CURRENT_USER\Software\Ostravel\TOLA Utility]
@="default"
"ActivePage"=dword:00000002
"OperatePollInterval"=dword:0000012c
"Port"="ttyUSB0"
"CommandCaption1"="Žluťoučký kůň"
"CommandText1"="say \"hi\" to C:\\TOLA\\"
"Emoji"="🎛 knob"
)"
    "\"Tab\"=\"a\tb\"\n"
    R"("FirmwareFolder"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,2f,00,54,00,4f,\
  00,4c,00,41,00,20,00,46,00,69,00,72,00,6d,00,77,00,61,00,72,00,65,00,00,00
"ConfigurationFolder"="/home/op/TOLA Configuration"
"Macros"=hex(7):43,00,4f,00,4d,00,33,00,00,00,74,00,74,00,79,00,55,00,53,00,\
  42,00,30,00,00,00,00,00
"Pattern"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,\
  15,16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,\
  2e,2f,30,31,32,33,34,35,36,37,38,39,3a,3b,3c,3d,3e,3f,40,41,42,43,44,45,46,\
  47,48,49,4a,4b,4c,4d,4e,4f
"Serial"=hex(b):88,77,66,55,44,33,22,11
"Short"=hex(4):2c,01,00
"Empty"=hex(1):
"Odd"=hex(1):41,00,42
"Unterminated"=hex(1):41,00,42,00
"Nothing"=hex(0):

[HKEY_CURRENT_USER\Software\Ostravel\TOLA Utility\Window]
"flags"=dword:00000000
"showCmd"=dword:00000001
"minPosX"=dword:ffffffff
"left"=dword:00000064

)";

// UTF-16LE (the host's order) with terminator, straight from the compiler, independent of the code
// under test.
Bytes Wide(std::u16string_view text) {
  Bytes out(reinterpret_cast<const std::uint8_t*>(text.data()), reinterpret_cast<const std::uint8_t*>(text.data() + text.size()));
  out.insert(out.end(), {0, 0});
  return out;
}

// The file regedit itself writes: byte order mark, UTF-16LE, CRLF (`crlf` has its line ends already).
std::string AsRegeditFile(const std::string& crlf) {
  const Bytes wide = Utf16FromUtf8(crlf);
  return "\xFF\xFE" + std::string(wide.begin(), wide.end() - 2);  // no terminator in a file
}

void ExpectSameHive(const HiveFileStore& a, const HiveFileStore& b, const std::string& path = "") {
  SCOPED_TRACE("key \"" + path + "\"");
  const auto names = a.EnumValueNames(path);
  EXPECT_EQ(names, b.EnumValueNames(path));
  for (const std::string& name : names) {
    RegValue va;
    RegValue vb;
    EXPECT_EQ(a.QueryValue(path, name, va), kErrorSuccess);
    EXPECT_EQ(b.QueryValue(path, name, vb), kErrorSuccess) << name;
    EXPECT_EQ(va.type, vb.type) << name;
    EXPECT_EQ(va.data, vb.data) << name;
  }
  const auto subKeys = a.EnumSubKeys(path);
  EXPECT_EQ(subKeys, b.EnumSubKeys(path));
  for (const std::string& sub : subKeys) {
    ExpectSameHive(a, b, path.empty() ? sub : path + "\\" + sub);
  }
}

RegValue Query(const HiveFileStore& store, const std::string& key, const std::string& name) {
  RegValue v;
  EXPECT_EQ(store.QueryValue(key, name, v), kErrorSuccess) << key << " / " << name;
  return v;
}

HiveFileStore Parsed(const std::string& text) {
  HiveFileStore store("");
  store.Parse(text);
  return store;
}

class RegistryHive : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(store.Load(), kErrorSuccess); }
  TempFolder dir;
  const std::string hive = dir / "h.reg";
  HiveFileStore store{hive};
};

TEST(RegistryText, ConvertsBetweenUtf8AndUtf16) {
  EXPECT_EQ(Utf16FromUtf8(""), (Bytes{0, 0}));
  EXPECT_EQ(Utf16FromUtf8("A\xE2\x82\xAC"), (Bytes{'A', 0, 0xAC, 0x20, 0, 0}));
  EXPECT_EQ(Utf16FromUtf8("\xF0\x9D\x84\x9E"), (Bytes{0x34, 0xD8, 0x1E, 0xDD, 0, 0}));
  // Malformed bytes, an overlong form and an encoded surrogate each become U+FFFD.
  EXPECT_EQ(Utf16FromUtf8("\xFF"), (Bytes{0xFD, 0xFF, 0, 0}));
  EXPECT_EQ(Utf16FromUtf8("\xC0\xAF"), (Bytes{0xFD, 0xFF, 0xFD, 0xFF, 0, 0}));
  EXPECT_EQ(Utf16FromUtf8("\xED\xA0\x80").size(), 4u * 2u);
  EXPECT_EQ(Utf16FromUtf8("a\xE2\x82"), (Bytes{'a', 0, 0xFD, 0xFF, 0xFD, 0xFF, 0, 0}));

  // Stops at the first zero unit, ignores an odd last byte, replaces lone surrogates.
  EXPECT_EQ(Utf8FromUtf16(Bytes{'a', 0, 0, 0, 'b', 0}), "a");
  EXPECT_EQ(Utf8FromUtf16(Bytes{'a', 0, 'b'}), "a");
  EXPECT_EQ(Utf8FromUtf16(Bytes{0x00, 0xD8, 'x', 0}), "\xEF\xBF\xBDx");
  EXPECT_EQ(Utf8FromUtf16(Bytes{0x00, 0xDC}), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf8FromUtf16(nullptr, 4), "");

  EXPECT_EQ(DwordBytes(0x12345678), (Bytes{0x78, 0x56, 0x34, 0x12}));
}

TEST(RegistryStoreFormat, ProgramWritesAndReadsWhatRegeditWrites) {
  const HiveFileStore store = Parsed(kExport);
  EXPECT_EQ(store.Serialize(), kExport);
  EXPECT_EQ(Query(store, kKey, ""), (RegValue{kRegSz, Wide(u"default")}));
  EXPECT_EQ(Query(store, kKey, "CommandCaption1").data, Wide(u"Žluťoučký kůň"));
  EXPECT_EQ(Query(store, kKey, "CommandText1").data, Wide(u"say \"hi\" to C:\\TOLA\\"));
  EXPECT_EQ(Query(store, kKey, "Emoji").data, Wide(u"🎛 knob"));
  EXPECT_EQ(Query(store, kKey, "Tab").data, Wide(u"a\tb"));
  EXPECT_EQ(Query(store, kKey, "OperatePollInterval"), (RegValue{kRegDword, {0x2c, 1, 0, 0}}));
  EXPECT_EQ(Query(store, kKey, "FirmwareFolder"), (RegValue{kRegExpandSz, Wide(u"%HOME%/TOLA Firmware")}));
  EXPECT_EQ(Query(store, kKey, "Macros"), (RegValue{kRegMultiSz, Wide(u"COM3\0ttyUSB0\0"sv)}));
  Bytes pattern;
  for (int i = 0; i < 80; ++i) pattern.push_back(static_cast<std::uint8_t>(i));
  EXPECT_EQ(Query(store, kKey, "Pattern"), (RegValue{kRegBinary, pattern}));
  EXPECT_EQ(Query(store, kKey, "Serial"), (RegValue{kRegQword, {0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}}));
  EXPECT_EQ(Query(store, kKey, "Short"), (RegValue{kRegDword, {0x2c, 0x01, 0x00}}));
  EXPECT_EQ(Query(store, kKey, "Empty"), (RegValue{kRegSz, {}}));
  EXPECT_EQ(Query(store, kKey, "Odd"), (RegValue{kRegSz, {'A', 0, 'B'}}));
  EXPECT_EQ(Query(store, kKey, "Nothing"), (RegValue{kRegNone, {}}));
  EXPECT_EQ(Query(store, kWindowKey, "minPosX"), (RegValue{kRegDword, {0xff, 0xff, 0xff, 0xff}}));

  std::string utf8Crlf;
  for (const char c : kExport) utf8Crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const std::string regedit = AsRegeditFile(utf8Crlf);
  ASSERT_EQ(regedit.substr(0, 6), std::string("\xFF\xFEW\0i\0", 6));
  TempFolder dir;
  for (const std::string& file : {regedit, "\xEF\xBB\xBF" + kExport, utf8Crlf}) {
    WriteWholeFile(dir / "export.reg", file);
    HiveFileStore read(dir / "export.reg");
    ASSERT_EQ(read.Load(), kErrorSuccess);
    ExpectSameHive(store, read);
    EXPECT_EQ(read.Serialize(), kExport);
  }
}

TEST_F(RegistryHive, EveryTypeAndSizeRoundTrips) {
  ASSERT_EQ(store.CreateKey("A\\B"), kErrorSuccess);
  std::mt19937 rng(7);
  const std::vector<std::uint32_t> types = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0xABCDEF01u,
                                            0xFFFFFFFFu};
  int n = 0;
  for (const std::uint32_t type : types) {
    for (const std::size_t size : {0u, 1u, 2u, 3u, 4u, 5u, 8u, 25u, 26u, 77u, 300u}) {
      Bytes data(size);
      for (auto& b : data) b = static_cast<std::uint8_t>(rng());
      ASSERT_EQ(store.SetValue("A\\B", "v" + std::to_string(n++), type, data), kErrorSuccess);
    }
  }
  // Texts with awkward but valid contents stay texts in the file.
  ASSERT_EQ(store.SetValue("A", "quotes", kRegSz, Wide(u"\"\\\"\\\\")), kErrorSuccess);
  ASSERT_EQ(store.SetValue("A", "line break", kRegSz, Wide(u"one\r\ntwo")), kErrorSuccess);
  ASSERT_EQ(store.SetValue("A", "inner zero", kRegSz, Wide(u"one\0two"sv)), kErrorSuccess);
  ASSERT_EQ(store.SetValue("A", "lone surrogate", kRegSz, {0x00, 0xD8, 0, 0}), kErrorSuccess);
  ASSERT_EQ(store.SetValue("A", "", kRegDword, DwordBytes(0xDEADBEEF)), kErrorSuccess);

  HiveFileStore again(hive);
  ASSERT_EQ(again.Load(), kErrorSuccess);
  ExpectSameHive(store, again);
  EXPECT_EQ(again.Serialize(), store.Serialize());
  EXPECT_EQ(again.EnumValueNames("A\\B").size(), types.size() * 11);
}

TEST(RegistryStoreFormat, EscapesSpacesWrappedHexAndRegedit4) {
  const HiveFileStore store = Parsed(
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\K]\r\n"
      "\"a\\\"b\\\\c\"=\"x\\\\\\\"y\"\r\n"
      "\"@\"=\"literal at\"\r\n"
      "@=\"default\"\r\n"
      "\"Path\"=\"C:\\Users\\op\"\r\n"  // single backslashes, as people type them
      "\"Spaced\" = dword:00000010 \r\n"
      "\"v\"=hex:01,02,\\\r\n  03,04,\\\n\t05\n"
      "\"w\"=HEX(2):\\\n  41,00,00,00\n");
  const std::pair<std::string, RegValue> values[] = {
      {"a\"b\\c", {kRegSz, Wide(u"x\\\"y")}},     {"@", {kRegSz, Wide(u"literal at")}},
      {"", {kRegSz, Wide(u"default")}},            {"Path", {kRegSz, Wide(u"C:\\Users\\op")}},
      {"Spaced", {kRegDword, DwordBytes(16)}},     {"v", {kRegBinary, {1, 2, 3, 4, 5}}},
      {"w", {kRegExpandSz, Wide(u"A")}},
  };
  for (const auto& [name, value] : values) EXPECT_EQ(Query(store, "K", name), value) << name;
  ExpectSameHive(store, Parsed(store.Serialize()));

  // Regedit 4 texts are single-byte.
  const HiveFileStore old = Parsed(
      "REGEDIT4\r\n\r\n"
      "[HKEY_CURRENT_USER\\Old]\r\n"
      "\"Path\"=hex(2):43,3a,5c,00\r\n"
      "\"List\"=hex(7):61,00,62,00,00\r\n"
      "\"Name\"=\"caf\xE9\"\r\n"
      "\"Raw\"=hex:43,3a\r\n");
  EXPECT_EQ(Query(old, "Old", "Path"), (RegValue{kRegExpandSz, Wide(u"C:\\")}));
  EXPECT_EQ(Query(old, "Old", "List"), (RegValue{kRegMultiSz, Wide(u"a\0b\0"sv)}));
  EXPECT_EQ(Query(old, "Old", "Name").data, Wide(u"café"));
  EXPECT_EQ(Query(old, "Old", "Raw").data, (Bytes{0x43, 0x3a}));
}

TEST(RegistryStoreFormat, DamagedLinesAreSkipped) {
  std::string text =
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_CURRENT_USER\\Software\\T]\n"
      "\"Good1\"=dword:00000001\n"
      "\"TruncatedHex\"=hex:41,4\n"
      "\"TrailingComma\"=hex:41,42,\n"
      "\"BadDword\"=dword:1234567x\n"
      "\"LongDword\"=dword:123456789\n"
      "\"EmptyDword\"=dword:\n"
      "\"NoData\"=\n"
      "\"NoEquals\" dword:00000001\n"
      "\"Unterminated\"=\"abc\n"
      "\"AfterText\"=\"abc\"def\n"
      "\"UnterminatedName=dword:00000001\n"
      "\"BadType\"=hex(zz):00\n"
      "\"OpenType\"=hex(2:00\n"
      "\"NoColon\"=hex 00\n"
      "\"Unknown\"=qword:0000000000000001\n"
      "garbage line here\n"
      "=\"no name\"\n"
      "\"Good2\"=\"two\"\n"
      "\"CutWrap\"=hex:41,42,\\\n"
      "[HKEY_CURRENT_USER\\Software\\T2]\n"
      "\"Good3\"=dword:00000003\n"
      "\"CutAtEnd\"=hex:41,\\\n"
      "\n"
      "[HKEY_CURRENT_USER\\Software\\Broken\n"
      "\"Lost1\"=dword:00000004\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Foreign]\n"
      "\"Lost2\"=dword:00000005\n"
      "[HKEY_CURRENT_USERS\\Software\\Almost]\n"
      "\"Lost3\"=dword:00000006\n"
      "[HKEY_CURRENT_USER\\Software\\T]\n";
  const char junkName[] = "\"Junk\0\xFF\"=\"\x01\x02\"\n";
  const char junk[] = "\x00\x01\x02\xFF\xFE\x80\x7F[\"=\\\n";
  text += std::string(junkName, sizeof junkName - 1);
  text += std::string(junk, sizeof junk - 1);
  text += "\"Good4\"=dword:00000004\n";
  text += "\"Last\"=hex:01,0";  // the file ends in the middle of a byte

  const HiveFileStore store = Parsed(text);
  EXPECT_EQ(store.EnumValueNames("Software\\T"),
            (std::vector<std::string>{"Good1", "Good2", "Good4"}));
  EXPECT_EQ(store.EnumValueNames("Software\\T2"), (std::vector<std::string>{"Good3"}));
  EXPECT_EQ(store.EnumSubKeys(""), (std::vector<std::string>{"Software"}));
  EXPECT_EQ(store.EnumSubKeys("Software"), (std::vector<std::string>{"T", "T2"}));
  EXPECT_TRUE(store.EnumValueNames("").empty());
  EXPECT_EQ(Query(store, "Software\\T", "Good2").data, Wide(u"two"));
  EXPECT_EQ(store.UnreadLines(), 27u) << "every line dropped above, and the lines under dropped keys";
}

TEST(RegistryStoreFormat, DeletionLinesRemoveValuesAndKeys) {
  const HiveFileStore store = Parsed(
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_CURRENT_USER\\A]\n\"keep\"=dword:00000001\n\"drop\"=dword:00000002\n\n"
      "[HKEY_CURRENT_USER\\A\\B]\n\"x\"=dword:00000003\n\n"
      "[HKEY_CURRENT_USER\\A\\B\\C]\n\n"
      "[HKEY_CURRENT_USER\\A\\D]\n\n"
      "[HKEY_CURRENT_USER\\a]\n\"DROP\"=-\n\"Keep\"=-\n\"KEEP\"=dword:00000009\n\n"
      "[-HKEY_CURRENT_USER\\a\\b]\n\"ignored\"=dword:00000004\n\n"
      "[-HKEY_CURRENT_USER\\Nowhere\\Else]\n"
      "[-HKEY_CURRENT_USER]\n");
  // A value deleted and set again comes last, with the spelling it was set again with.
  EXPECT_EQ(store.EnumValueNames("A"), (std::vector<std::string>{"KEEP"}));
  EXPECT_EQ(store.EnumSubKeys("A"), (std::vector<std::string>{"D"}));
  EXPECT_FALSE(store.KeyExists("A\\B\\C"));
}

TEST_F(RegistryHive, KeysAndValuesAreFoundWhateverTheirCaseMissingOnesAreFileNotFound) {
  ASSERT_EQ(store.CreateKey("Software\\Ostravel\\Žluť"), kErrorSuccess);
  ASSERT_EQ(store.CreateKey("SOFTWARE\\ostravel\\ŽLUŤ\\Window"), kErrorSuccess);
  EXPECT_EQ(store.EnumSubKeys(""), (std::vector<std::string>{"Software"}));
  EXPECT_EQ(store.EnumSubKeys("software\\OSTRAVEL"), (std::vector<std::string>{"Žluť"}));
  EXPECT_TRUE(store.KeyExists("software\\ostravel\\žluť\\window"));
  EXPECT_FALSE(store.KeyExists("software\\ostravel\\zlut"));

  ASSERT_EQ(store.SetValue("Software", "Port", kRegSz, Wide(u"ttyS0")), kErrorSuccess);
  ASSERT_EQ(store.SetValue("software", "PORT", kRegSz, Wide(u"ttyUSB1")), kErrorSuccess);
  EXPECT_EQ(store.EnumValueNames("Software"), (std::vector<std::string>{"Port"}));
  EXPECT_EQ(Query(store, "SOFTWARE", "port").data, Wide(u"ttyUSB1"));
  ASSERT_EQ(store.DeleteValue("Software", "pOrT"), kErrorSuccess);
  EXPECT_TRUE(store.EnumValueNames("Software").empty());

  ASSERT_EQ(store.CreateKey(kKey), kErrorSuccess);
  RegValue v{kRegDword, {9}};
  EXPECT_EQ(store.QueryValue(kKey, "Port", v), kErrorFileNotFound);
  EXPECT_EQ(v, (RegValue{kRegDword, {9}}));  // untouched
  EXPECT_EQ(store.QueryValue("Software\\Other", "Port", v), kErrorFileNotFound);
  EXPECT_EQ(store.SetValue("Software\\Other", "Port", kRegSz, Wide(u"x")), kErrorFileNotFound);
  EXPECT_EQ(store.DeleteValue(kKey, "Port"), kErrorFileNotFound);
  EXPECT_EQ(store.DeleteValue("Software\\Other", "Port"), kErrorFileNotFound);
  EXPECT_FALSE(store.KeyExists("Software\\Other"));
  EXPECT_TRUE(store.EnumValueNames("Software\\Other").empty());
  EXPECT_TRUE(store.EnumSubKeys("Software\\Other").empty());

  // Values keep the order they were first set in.
  for (const char* name : {"b", "a", "c"}) {
    ASSERT_EQ(store.SetValue(kKey, name, kRegDword, DwordBytes(1)), kErrorSuccess);
  }
  ASSERT_EQ(store.SetValue(kKey, "a", kRegDword, DwordBytes(2)), kErrorSuccess);
  EXPECT_EQ(store.EnumValueNames(kKey), (std::vector<std::string>{"b", "a", "c"}));
}

TEST(HiveFileStore, FailedSaveUndoesTheChangeInMemory) {
  TempFolder dir;
  HiveFileStore store(dir / "sub/hive.reg");
  ASSERT_EQ(store.Load(), kErrorSuccess);  // neither folder nor file yet
  ASSERT_EQ(store.CreateKey("K"), kErrorSuccess);
  ASSERT_EQ(store.SetValue("K", "v", kRegDword, DwordBytes(1)), kErrorSuccess);
  const std::string saved = store.Serialize();

  // The hive's folder moves away and a plain file takes its place: no save can succeed.
  std::filesystem::rename(dir / "sub", dir / "moved");
  WriteWholeFile(dir / "sub", "not a folder");
  EXPECT_EQ(store.SetValue("K", "v", kRegDword, DwordBytes(2)), kErrorPathNotFound);
  EXPECT_EQ(store.SetValue("K", "w", kRegDword, DwordBytes(3)), kErrorPathNotFound);
  EXPECT_EQ(store.DeleteValue("K", "v"), kErrorPathNotFound);
  EXPECT_EQ(store.CreateKey("K\\Sub"), kErrorPathNotFound);
  EXPECT_EQ(store.Serialize(), saved);
  EXPECT_EQ(Query(store, "K", "v").data, DwordBytes(1));
  EXPECT_EQ(ReadWholeFile(dir / "moved/hive.reg"), saved);
  EXPECT_EQ(ReadWholeFile(dir / "sub"), "not a folder");

  // Read afresh, such a hive is an error rather than an empty hive, and nothing is written.
  HiveFileStore blocked(dir / "sub/hive.reg");
  EXPECT_EQ(blocked.Load(), kErrorPathNotFound);
  EXPECT_EQ(blocked.CreateKey("K"), kErrorPathNotFound);
}

TEST(HiveFileStore, AHiveNotLoadedOrUnreadableIsNeverOverwritten) {
  TempFolder dir;
  // Not loaded: changes are refused.
  WriteWholeFile(dir / "h.reg", kExport);
  HiveFileStore unloaded(dir / "h.reg");
  EXPECT_EQ(unloaded.CreateKey("X"), kErrorInvalidHandle);
  EXPECT_EQ(unloaded.SetValue("", "x", kRegDword, DwordBytes(1)), kErrorInvalidHandle);
  EXPECT_EQ(unloaded.DeleteValue("", "x"), kErrorInvalidHandle);
  EXPECT_EQ(ReadWholeFile(dir / "h.reg"), kExport);
  EXPECT_EQ(HiveFileStore("").Load(), kErrorPathNotFound);

  // Too large: refused without being read.
  const std::string big = dir / "big.reg";
  WriteWholeFile(big, "");
  std::filesystem::resize_file(big, HiveFileStore::kMaxHiveBytes + 1);
  HiveFileStore store(big);
  EXPECT_EQ(store.Load(), kErrorFileTooLarge);
  EXPECT_TRUE(store.EnumSubKeys("").empty());
  EXPECT_EQ(store.CreateKey("K"), kErrorFileTooLarge);
  EXPECT_EQ(store.SetValue("", "v", kRegDword, DwordBytes(1)), kErrorFileTooLarge);
  EXPECT_EQ(std::filesystem::file_size(big), HiveFileStore::kMaxHiveBytes + 1);

  // A folder in the hive's place.
  HiveFileStore folder(dir.Path());
  EXPECT_EQ(folder.Load(), kErrorDirectory);
  EXPECT_NE(folder.CreateKey("K"), kErrorSuccess);
}

TEST_F(RegistryHive, NamesTheFileCannotHoldAreRefused) {
  ASSERT_EQ(store.CreateKey("K"), kErrorSuccess);
  EXPECT_EQ(store.SetValue("K", "a\nb", kRegDword, DwordBytes(1)), kErrorInvalidParameter);
  EXPECT_EQ(store.SetValue("K", std::string("a\0b", 3), kRegDword, DwordBytes(1)),
            kErrorInvalidParameter);
  EXPECT_EQ(store.SetValue("K", "caf\xE9", kRegDword, DwordBytes(1)), kErrorInvalidParameter);
  EXPECT_EQ(store.CreateKey("K\\line\rbreak"), kErrorInvalidParameter);
  EXPECT_TRUE(store.EnumValueNames("K").empty());
  EXPECT_TRUE(store.EnumSubKeys("K").empty());
}

}  // namespace
}  // namespace tola
