// What the hive file does that only Linux shows: the folder's rights, a pipe in the file's place
// and the configuration folder of the environment.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>

#include "platform/HiveFileStore.h"
#include "support/TempFolder.h"

namespace tola {
namespace {

using test::FolderEntries;
using test::ScopedEnv;
using test::TempFolder;

TEST(HiveFileStore, FirstWriteMakesAPrivateFolderHoldingOnlyTheHive) {
  TempFolder dir;
  const std::string key = "Software\\Ostravel\\TOLA Utility";
  const std::string hive = dir / "config/Ostravel/TOLA Utility.reg";
  HiveFileStore store(hive);
  ASSERT_EQ(store.Load(), kErrorSuccess);  // no file yet: an empty hive
  EXPECT_FALSE(FolderEntries(dir.Path()).count("config"));
  ASSERT_EQ(store.CreateKey(key), kErrorSuccess);
  ASSERT_EQ(store.SetValue(key, "Trace", kRegDword, DwordBytes(1)), kErrorSuccess);
  ASSERT_EQ(store.DeleteValue(key, "Trace"), kErrorSuccess);
  EXPECT_EQ(std::filesystem::status(dir / "config/Ostravel").permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_all);
  EXPECT_EQ(FolderEntries(dir / "config/Ostravel"), (std::set<std::string>{"TOLA Utility.reg"}));
}

TEST(HiveFileStore, APipeInTheHivesPlaceIsNeitherReadNorReplaced) {
  TempFolder dir;
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  HiveFileStore pipe(dir / "pipe");
  EXPECT_EQ(pipe.Load(), kErrorAccessDenied);
  EXPECT_EQ(pipe.CreateKey("K"), kErrorAccessDenied);
}

TEST(HiveFileStore, DefaultHivePathFollowsTheEnvironment) {
  {
    ScopedEnv settings("TOLA_SETTINGS", "/srv/station/tola.reg");
    EXPECT_EQ(DefaultHivePath(), "/srv/station/tola.reg");
  }
  ScopedEnv emptySettings("TOLA_SETTINGS", "");
  ScopedEnv config("XDG_CONFIG_HOME", "/cfg/");
  EXPECT_EQ(DefaultHivePath(), "/cfg/Ostravel/TOLA Utility.reg");
}

}  // namespace
}  // namespace tola
