// The Linux forms of paths and per-user folders.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/FileSystem.h"
#include "support/TempFolder.h"

namespace tola {
namespace {

using test::ScopedEnv;
using test::TempFolder;
using test::WriteWholeFile;

TEST(FileSystemPaths, JoinFolderAndFileName) {
  EXPECT_EQ(JoinPath("/home/op", "x.cfg"), "/home/op/x.cfg");
  EXPECT_EQ(JoinPath("/home/op///", "x.cfg"), "/home/op/x.cfg");
  EXPECT_EQ(JoinPath("", "x.cfg"), "x.cfg");
  EXPECT_EQ(JoinPath("/", "x.cfg"), "/x.cfg");
  EXPECT_EQ(JoinPath("rel", "sub/x"), "rel/sub/x");
  EXPECT_EQ(FolderOf("/home/op/x.cfg"), "/home/op");
  EXPECT_EQ(FolderOf("/home/op//x.cfg"), "/home/op");
  EXPECT_EQ(FolderOf("/x"), "/");
  EXPECT_EQ(FolderOf("//x"), "/");
  EXPECT_EQ(FolderOf("/"), "/");
  EXPECT_EQ(FolderOf("x"), "");
  EXPECT_EQ(FolderOf("a/b/"), "a/b");
  EXPECT_EQ(FolderOf(""), "");
  EXPECT_EQ(FileNameOf("/fw/TOLA400.hex"), "TOLA400.hex");
  EXPECT_EQ(FileNameOf("TOLA400.hex"), "TOLA400.hex");
  EXPECT_EQ(FileNameOf("/fw/"), "");
}

TEST(FileSystemFolders, RootAndModeOfCreatedFolders) {
  TempFolder dir;
  EXPECT_EQ(CreateFolderPath("/"), kErrorSuccess);
  EXPECT_EQ(CreateFolderPath(dir / "m", 0700), kErrorSuccess);
  EXPECT_EQ(std::filesystem::status(dir / "m").permissions() & std::filesystem::perms::all, std::filesystem::perms::owner_all);
}

TEST(FileSystemFolders, PerUserFoldersFollowTheEnvironment) {
  TempFolder dir;
  ScopedEnv home("HOME", dir.Path());
  ScopedEnv data("XDG_DATA_HOME", std::nullopt);
  ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
  ScopedEnv documents("XDG_DOCUMENTS_DIR", std::nullopt);

  EXPECT_EQ(AppDataFolder(), dir / ".local/share");
  EXPECT_EQ(ConfigFolder(), dir / ".config");
  EXPECT_EQ(DocumentsFolder(), dir / "Documents");

  // user-dirs.dirs as xdg-user-dirs writes it; the last line for a name holds.
  ASSERT_EQ(CreateFolderPath(dir / ".config"), kErrorSuccess);
  WriteWholeFile(dir / ".config/user-dirs.dirs",
                 "# This file is written by xdg-user-dirs-update\n"
                 "XDG_DESKTOP_DIR=\"$HOME/Plocha\"\n"
                 "XDG_DOCUMENTS_DIR=\"$HOME/Old\"\n"
                 "XDG_DOCUMENTS_DIR=\"$HOME/Dokumenty\"\n");
  EXPECT_EQ(DocumentsFolder(), dir / "Dokumenty");
  // A relative entry is not valid and is ignored.
  WriteWholeFile(dir / ".config/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"docs\"\n");
  EXPECT_EQ(DocumentsFolder(), dir / "Documents");

  {
    ScopedEnv xdgData("XDG_DATA_HOME", "/data/");
    ScopedEnv xdgDocuments("XDG_DOCUMENTS_DIR", "/papers");
    EXPECT_EQ(AppDataFolder(), "/data");
    EXPECT_EQ(DocumentsFolder(), "/papers");
  }
  {
    // Relative XDG base directories do not count.
    ScopedEnv xdgData("XDG_DATA_HOME", "relative");
    EXPECT_EQ(AppDataFolder(), dir / ".local/share");
  }
}

}  // namespace
}  // namespace tola
