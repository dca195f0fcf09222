#include <gtest/gtest.h>

#include "firmware/FirmwareFolder.h"
#include "platform/FileSystem.h"
#include "support/TempFolder.h"
#include "support/TestApp.h"

namespace tola::test {
namespace {

TEST(FirmwareFileNameTest, PartsOfANameAndWhatTheyMake) {
  struct Case {
    const char* name;
    const char* extension;
    const char* prefix;
    std::uint16_t revision;
    bool firmware;
  };
  const Case cases[] = {
      {"tola400fw0123.hex", ".hex", "tola400fw", 123, true},
      {"TOLA400FW0123.HEX", ".HEX", "TOLA400FW", 123, true},
      {"tola400fw0123-beta.hex", ".hex", "tola400fw", 123, true},
      {"tola400fw.hex", ".hex", "tola", 400, false},     // the last digit run is 400
      {"tola400fw0123.hex.txt", ".txt", "tola400fw", 123, false},
      {"tola400fw70000.hex", ".hex", "tola400fw", 4464, true},  // 70000 kept in 16 bits
      {"tola400fw99999999999999999999.hex", ".hex", "tola400fw", 65535, true},
      {"0123.hex", ".hex", "0123", 0, false},             // the run opens the title
      {"tola400fw0123", "", "tola400fw", 123, false},     // no extension
      {".hex", ".hex", "", 0, false},
      {"tola400fw1.2.hex", ".hex", "tola400fw1.", 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const FileNameParts parts = SplitFileName(c.name);
    EXPECT_EQ(parts.extension, c.extension);
    EXPECT_EQ(parts.prefix, c.prefix);
    EXPECT_EQ(parts.revision, c.revision);
    EXPECT_EQ(IsFirmwareFileName(c.name), c.firmware);
  }
  EXPECT_TRUE(IsReleaseNotesFileName("tola400fwnotes.rtf"));
  EXPECT_TRUE(IsReleaseNotesFileName("TOLA400FWNotes.RTF"));
  EXPECT_FALSE(IsReleaseNotesFileName("tola400fwnotes2.rtf"));
  EXPECT_FALSE(IsReleaseNotesFileName("tola400fwnotes.txt"));
}

TEST(FirmwareChoiceTest, HighestRevisionWinsAndTheFirstOfEqualsStays) {
  const auto fw = [](const char* name) { return JoinPath("/fw", name); };
  const FirmwareChoice choice =
      ChooseFirmware("/fw", {"tola400fw0099.hex", "readme.txt", "tola400fw0123.hex", "tola400fw0110.hex"});
  EXPECT_EQ(choice.firmwareFile, fw("tola400fw0123.hex"));
  EXPECT_EQ(choice.firmwareRevision, 123);
  EXPECT_EQ(AvailableRevisionText(choice), "01.23");
  EXPECT_TRUE(CanSendFirmware(choice));

  EXPECT_EQ(ChooseFirmware("/fw", {"tola400fw0123.hex", "TOLA400FW123.HEX"}).firmwareFile, fw("tola400fw0123.hex"));
  EXPECT_EQ(ChooseFirmware("/fw", {"TOLA400FW123.HEX", "tola400fw0123.hex"}).firmwareFile, fw("TOLA400FW123.HEX"));
  // Revision 0 still counts as a file when it is the only one.
  EXPECT_EQ(ChooseFirmware("/fw", {"tola400fw0000.hex"}).firmwareFile, fw("tola400fw0000.hex"));

  const FirmwareChoice notes = ChooseFirmware("/fw/", {"tola400fwnotes.rtf", "tola400fw0007.hex"});
  EXPECT_EQ(notes.notesFile, fw("tola400fwnotes.rtf")) << "a trailing separator joins to exactly one";
  EXPECT_EQ(notes.notesRevision, 400);
  EXPECT_EQ(notes.firmwareFile, fw("tola400fw0007.hex"));

  EXPECT_EQ(FileRevisionText(12345), "123.45");
  EXPECT_EQ(FileRevisionText(0), "00.00");
  EXPECT_EQ(AvailableRevisionText(FirmwareChoice{}), "Missing");
  EXPECT_FALSE(CanSendFirmware(FirmwareChoice{}));
}

TEST(FirmwareFolderTest, ScanReadsTheFolder) {
  TempFolder folder;
  for (const char* name : {"tola400fw0099.hex", "tola400fw0123.hex", "tola400fw0110.hex", "tola400fw0500.hex.txt",
                           "tola400fw.hex", "tola400fwnotes.rtf"}) {
    WriteWholeFile(folder / name, ":00000001FF\r\n");
  }
  const FirmwareChoice choice = ScanFirmwareFolder(folder.Path());
  EXPECT_EQ(choice.firmwareFile, folder / "tola400fw0123.hex");
  EXPECT_EQ(choice.notesFile, folder / "tola400fwnotes.rtf");
  EXPECT_EQ(ScanFirmwareFolder(folder.Path() + kPathSeparator).firmwareFile, folder / "tola400fw0123.hex");

  // Entries are not told apart by kind: a folder with a firmware name counts as well.
  ASSERT_EQ(CreateFolder(folder / "tola400fw0200.hex"), kErrorSuccess);
  EXPECT_EQ(ScanFirmwareFolder(folder.Path()).firmwareRevision, 200);

  EXPECT_FALSE(ScanFirmwareFolder(folder / "absent").HasFirmware());
  EXPECT_FALSE(ScanFirmwareFolder("").HasFirmware());
}

TEST(FirmwareFolderTest, RevisionCheckExplainsAnEmptyFolder) {
  TempFolder folder;
  TestApp t;
  t.app->firmwareFolder.Set(folder.Path());
  EXPECT_FALSE(CheckFirmwareFolder(*t.app, false).HasFirmware());
  EXPECT_TRUE(t.sink.lines.empty());
  EXPECT_FALSE(CheckFirmwareFolder(*t.app, true).HasFirmware());
  ASSERT_EQ(t.sink.lines.size(), 1u);
  EXPECT_EQ(t.sink.lines[0].text,
            "Firmware folder does not contain required TOLA firmware file\r\nClick \"Copy new files from Ostravel\"\r\n"
            "or navigate to a folder containing TOLA firmware files");
  WriteWholeFile(folder / "tola400fw0042.hex", ":00000001FF\r\n");
  EXPECT_EQ(CheckFirmwareFolder(*t.app, true).firmwareRevision, 42);
  EXPECT_EQ(t.sink.lines.size(), 1u);
}

}  // namespace
}  // namespace tola::test
