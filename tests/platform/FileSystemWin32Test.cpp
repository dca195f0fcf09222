// The Windows forms of paths and per-user folders.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/FileSystem.h"
#include "support/TempFolder.h"

namespace tola {
namespace {

using test::TempFolder;

TEST(FileSystemPathsWin32, BackSlashesWrittenForwardSlashesAccepted) {
  struct Row {
    const char* folder;
    const char* name;
    const char* joined;
  };
  const Row joins[] = {
      {"C:\\fw", "x.hex", "C:\\fw\\x.hex"},
      {"C:\\fw\\\\", "x.hex", "C:\\fw\\x.hex"},
      {"C:\\fw/", "x.hex", "C:\\fw\\x.hex"},
      {"C:\\", "x.hex", "C:\\x.hex"},
      {"/tmp/fw", "x.hex", "/tmp/fw\\x.hex"},
      {"\\\\server\\share", "x.hex", "\\\\server\\share\\x.hex"},
  };
  for (const Row& r : joins) {
    SCOPED_TRACE(r.folder);
    EXPECT_EQ(JoinPath(r.folder, r.name), r.joined);
  }
  struct Split {
    const char* path;
    const char* folder;
    const char* name;
  };
  const Split splits[] = {
      {"C:\\fw\\x.hex", "C:\\fw", "x.hex"},
      {"C:\\fw\\\\x.hex", "C:\\fw", "x.hex"},
      {"/tmp/fw/x.hex", "/tmp/fw", "x.hex"},
      {"C:\\fw/x.hex", "C:\\fw", "x.hex"},
      {"C:\\x.hex", "C:", "x.hex"},
      {"\\x.hex", "\\", "x.hex"},
      {"C:\\fw\\", "C:\\fw", ""},
      {"x.hex", "", "x.hex"},
  };
  for (const Split& s : splits) {
    SCOPED_TRACE(s.path);
    EXPECT_EQ(FolderOf(s.path), s.folder);
    EXPECT_EQ(FileNameOf(s.path), s.name);
  }
  EXPECT_EQ(RenameExtension("C:\\a.b\\file", "hex"), "C:\\a.b\\file.hex");
}

TEST(FileSystemPathsWin32, DrivesRootsAndServersAreNeverCreated) {
  const struct {
    const char* prefix;
    bool root;
  } rows[] = {
      {"", true},        {"\\", true},          {"/", true},         {"C:", true},
      {"C:\\", true},    {"\\\\server", true},  {"//server", true},  {"\\\\server\\share", false},
      {"C:\\fw", false}, {"/tmp", false},       {"fw", false},       {"C:fw", false},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.prefix);
    EXPECT_EQ(IsPathRoot(r.prefix), r.root);
  }

  TempFolder dir;
  // Back-slashes, forward slashes and a drive-letter path down to the new levels.
  const std::string full = AbsolutePath(dir.Path());
  ASSERT_EQ(full.substr(1, 2), ":\\") << full;
  const std::string deep = full + "\\a/b\\c\\";
  EXPECT_EQ(CreateFolderPath(deep), kErrorSuccess);
  EXPECT_TRUE(IsDirectory(full + "\\a\\b\\c"));
  EXPECT_EQ(CreateFolderPath(full.substr(0, 2)), kErrorSuccess) << "a drive alone";
  EXPECT_EQ(CreateFolderPath(full.substr(0, 3)), kErrorSuccess) << "a drive root";
}

TEST(FileSystemFoldersWin32, ApplicationDataIsTheShellsFolder) {
  const char* appData = std::getenv("APPDATA");
  ASSERT_NE(appData, nullptr);
  EXPECT_EQ(AppDataFolder(), appData);
  EXPECT_TRUE(IsDirectory(AppDataFolder()));
  EXPECT_EQ(ConfigFolder(), AppDataFolder());
  EXPECT_FALSE(DocumentsFolder().empty());
}

}  // namespace
}  // namespace tola
