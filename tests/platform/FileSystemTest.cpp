#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/TempFolder.h"

namespace tola {
namespace {

using test::TempFolder;
using test::WriteWholeFile;

TEST(FileSystemFolders, CreateFolderPathMakesEveryMissingLevelAndStopsAtTheFirstFailure) {
  TempFolder dir;
  const std::string deep = dir / "a/b/c";
  EXPECT_FALSE(IsDirectory(deep));
  EXPECT_EQ(CreateFolderPath(deep + "//"), kErrorSuccess);
  EXPECT_TRUE(IsDirectory(dir / "a"));
  EXPECT_TRUE(IsDirectory(deep));
  EXPECT_EQ(CreateFolderPath(deep), kErrorSuccess) << "everything is there already";
  EXPECT_EQ(CreateFolderPath(dir / "a//b/d"), kErrorSuccess);
  EXPECT_TRUE(IsDirectory(dir / "a/b/d"));

  EXPECT_EQ(CreateFolder(deep), kErrorAlreadyExists);
  EXPECT_EQ(CreateFolder(dir / "x/y"), kErrorPathNotFound);
  EXPECT_EQ(CreateFolder(dir / "x"), kErrorSuccess);
  EXPECT_TRUE(IsDirectory(dir / "x"));
  EXPECT_FALSE(IsRegularFile(dir / "x"));

  WriteWholeFile(dir / "file", "x");
  EXPECT_TRUE(IsRegularFile(dir / "file"));
  // A file in the middle of the path: the level below it cannot be made.
  EXPECT_EQ(CreateFolderPath(dir / "file/sub/deeper"), kErrorPathNotFound);
  // A file at the end counts as already there; the caller sees it is no folder.
  EXPECT_EQ(CreateFolderPath(dir / "file"), kErrorSuccess);
  EXPECT_FALSE(IsDirectory(dir / "file"));
}

TEST(FileSystemFolders, ListFolderNamesEveryEntry) {
  TempFolder dir;
  WriteWholeFile(dir / "b.hex", "x");
  ASSERT_EQ(CreateFolder(dir / "a"), kErrorSuccess);
  std::vector<std::string> names;
  ASSERT_TRUE(ListFolder(dir.Path(), names));
  std::erase_if(names, [](const std::string& n) { return n == "." || n == ".."; });
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a", "b.hex"}));
  names.clear();
  EXPECT_FALSE(ListFolder(dir / "absent", names));

  EXPECT_EQ(RemoveFile(dir / "b.hex"), kErrorSuccess);
  EXPECT_FALSE(IsRegularFile(dir / "b.hex"));
  EXPECT_EQ(RemoveFile(dir / "b.hex"), kErrorFileNotFound);
}

}  // namespace
}  // namespace tola
