#include <gtest/gtest.h>

#include "firmware/FtpProtocol.h"

namespace tola::test {
namespace {

// Entries as "name" for files and "name/" for folders, joined by '|'.
std::string Describe(const std::vector<FtpEntry>& entries) {
  std::string text;
  for (const FtpEntry& e : entries) text += (text.empty() ? "" : "|") + e.name + (e.isDirectory ? "/" : "");
  return text;
}

TEST(FtpListingTest, EachFormReadsAsServersWriteIt) {
  struct Case {
    const char* what;
    ListingForm form;
    const char* text;
    bool readable;
    const char* entries;
  };
  const Case cases[] = {
      {"machine facts, names with spaces, the folder itself and its parent left out", ListingForm::Machine,
       "type=file;size=3; a b.hex\r\ntype=dir;perm=el; sub\r\ntype=cdir; .\r\ntype=pdir; ..\r\n", true, "a b.hex|sub/"},
      {"machine: fact names in any case, unknown types are files, a line without a name is skipped",
       ListingForm::Machine, "Type=DIR; Up\r\nmodify=1;type=OS.unix=slink:/x; link.hex\r\ntype=file;\r\n", true,
       "Up/|link.hex"},
      {"unix with owner and group, time or year", ListingForm::Unix,
       "total 8\r\n-rw-r--r--   1 owner    group       300000 Dec 08 11:20 tola400fw0200.hex\r\n"
       "drwxr-xr-x   2 owner    group         4096 Jan 01  2025 old\r\n",
       true, "tola400fw0200.hex|old/"},
      {"unix without a group, a link shown by its own name, a name with spaces", ListingForm::Unix,
       "-rw-r--r-- 1 ftp 120 Mar 3 2024 my notes.rtf\nlrwxrwxrwx 1 o g 5 Jan 01 00:00 cur.hex -> tola400fw0100.hex\n",
       true, "my notes.rtf|cur.hex"},
      {"unix: the rest of a name broken by a line end is passed over", ListingForm::Unix,
       "-rw-r--r-- 1 o g 100 Jan 01 00:00 tola400fw06\r\n00.hex\r\n", true, "tola400fw06"},
      {"a DOS layout does not read as unix", ListingForm::Unix, "01-01-25  12:00PM       1234 x.hex\r\n", false, ""},
      {"names only, paths kept as given for the caller to judge", ListingForm::NamesOnly,
       "a.hex\r\n.\r\n..\r\nsub/b.hex\r\n", true, "a.hex|sub/b.hex"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<FtpEntry> entries;
    EXPECT_EQ(ParseListing(c.text, c.form, entries), c.readable);
    EXPECT_EQ(Describe(entries), c.entries);
  }
}

TEST(FtpListingTest, OnlyPlainNamesBecomeLocalFileNames) {
  const std::pair<std::string, bool> cases[] = {
      {"tola400fw0200.hex", true},   {"notes with spaces.rtf", true}, {std::string(255, 'a'), true},
      {std::string(256, 'a'), false}, {"", false},                      {".", false},
      {"..", false},                 {"../x.hex", false},             {"a/b.hex", false},
      {"..\\x.hex", false},          {"x\n.hex", false},              {"x\x7F.hex", false},
      {std::string("x\0y", 3), false}, {"...hex", true},
  };
  for (const auto& [name, plain] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(IsPlainFileName(name), plain);
  }
}

}  // namespace
}  // namespace tola::test
