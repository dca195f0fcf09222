// The atomic write: never a half-written file, only ever in place of a regular file, its destination
// checked before long work; and a settings hive not read whole is copied before its first rewrite.

#include "platform/AtomicFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <set>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"
#include "platform/HiveFileStore.h"
#include "support/TempFolder.h"

namespace tola {
namespace {

using test::FolderEntries;
using test::ReadWholeFile;
using test::TempFolder;
using test::WriteWholeFile;

// Lets `budget` bytes through and then fails with `code`, like a disk filling up.
AtomicFile::WriteFn FailingAfter(std::size_t budget, ResultCode code, std::size_t* written) {
  return [budget, code, written](std::size_t& size) -> ResultCode {
    if (*written >= budget) return code;
    size = std::min(size, budget - *written);
    *written += size;
    return kErrorSuccess;
  };
}

std::string Content(std::size_t size) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>('a' + i % 26);
  return s;
}

TEST(AtomicFile, WriteFailingHalfWayKeepsTheOldFile) {
  TempFolder dir;
  const std::string target = dir / "settings.cfg";
  const std::string old = std::string("old content\r\n\0\xFF", 15);
  WriteWholeFile(target, old);

  for (const std::size_t budget : {0u, 1u, 1000u, 4095u}) {
    std::size_t written = 0;
    {
      AtomicFile file;
      ASSERT_EQ(file.Create(target), kErrorSuccess);
      EXPECT_EQ(FolderEntries(dir.Path()).size(), 2u);  // the target and its temporary
      file.SetWriteFn(FailingAfter(budget, kErrorDiskFull, &written));
      EXPECT_EQ(file.Write(Content(2000)), budget >= 2000 ? kErrorSuccess : kErrorDiskFull);
      EXPECT_EQ(file.Write(Content(3000)), kErrorDiskFull);
      EXPECT_EQ(written, budget);
    }
    EXPECT_EQ(ReadWholeFile(target), old) << "budget " << budget;
    EXPECT_EQ(FolderEntries(dir.Path()), std::set<std::string>{"settings.cfg"});
  }

  // A failed write sticks: neither a later write nor the commit goes through.
  std::size_t written = 0;
  AtomicFile file;
  ASSERT_EQ(file.Create(target), kErrorSuccess);
  file.SetWriteFn(FailingAfter(4, kErrorDiskFull, &written));
  EXPECT_EQ(file.Write(std::string("half of a new file")), kErrorDiskFull);
  file.SetWriteFn(nullptr);
  EXPECT_EQ(file.Write(std::string("rest")), kErrorDiskFull);
  EXPECT_EQ(file.Commit(), kErrorDiskFull);
  EXPECT_EQ(ReadWholeFile(target), old);
  EXPECT_EQ(FolderEntries(dir.Path()), std::set<std::string>{"settings.cfg"});
}

TEST(AtomicFile, AbandonAndCommit) {
  TempFolder dir;
  const std::string target = dir / "fw.hex";
  WriteWholeFile(target, "before");
  {
    AtomicFile file;
    ASSERT_EQ(file.Create(target), kErrorSuccess);
    ASSERT_EQ(file.Write("partial"), kErrorSuccess);
    const std::string temp = file.TemporaryPath();
    EXPECT_EQ(ReadWholeFile(temp), "partial");
    file.Abandon();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(std::filesystem::exists(temp));
    EXPECT_EQ(file.Commit(), kErrorInvalidHandle);
  }
  EXPECT_EQ(ReadWholeFile(target), "before");

  // Short writes are carried on until everything is written.
  AtomicFile file;
  ASSERT_EQ(file.Create(target), kErrorSuccess);
  int calls = 0;
  file.SetWriteFn([&calls](std::size_t& size) -> ResultCode {
    ++calls;
    size = std::min<std::size_t>(size, 7);
    return kErrorSuccess;
  });
  const std::string content = Content(100);
  ASSERT_EQ(file.Write(content), kErrorSuccess);
  EXPECT_EQ(calls, 15);
  ASSERT_EQ(file.Commit(), kErrorSuccess);
  EXPECT_EQ(ReadWholeFile(target), content);
  EXPECT_EQ(FolderEntries(dir.Path()), std::set<std::string>{"fw.hex"});

  // A write call that makes no progress counts as a full disk.
  AtomicFile stuck;
  ASSERT_EQ(stuck.Create(target), kErrorSuccess);
  stuck.SetWriteFn([](std::size_t& size) -> ResultCode {
    size = 0;
    return kErrorSuccess;
  });
  EXPECT_EQ(stuck.Write("x"), kErrorDiskFull);
  stuck.Abandon();
  EXPECT_EQ(ReadWholeFile(target), content);
}


TEST(FileGuard, SomethingPutInPlaceAfterCreateIsNotReplacedAtCommit) {
  TempFolder dir;
  const std::string path = dir / "target";
  AtomicFile file;
  ASSERT_EQ(file.Create(path), kErrorSuccess);
  ASSERT_EQ(file.Write("saved"), kErrorSuccess);
  ASSERT_EQ(CreateFolder(path), kErrorSuccess);
  EXPECT_EQ(file.Commit(), kErrorDirectory);
  EXPECT_TRUE(IsDirectory(path));
  EXPECT_EQ(FolderEntries(dir.Path()), std::set<std::string>{"target"});
}

TEST(AtomicFile, AHandedOverFileIsFilledByNameAndCommitted) {
  TempFolder dir;
  const std::string target = dir / "tola400fw0123.hex";
  WriteWholeFile(target, "old");
  AtomicFile file;
  ASSERT_EQ(file.Create(target), kErrorSuccess);
  file.HandOver();
  EXPECT_FALSE(file.IsOpen());
  WriteWholeFile(file.TemporaryPath(), "downloaded");
  EXPECT_EQ(ReadWholeFile(target), "old");
  ASSERT_EQ(file.Commit(), kErrorSuccess);
  EXPECT_EQ(ReadWholeFile(target), "downloaded");
  EXPECT_EQ(FolderEntries(dir.Path()), std::set<std::string>{"tola400fw0123.hex"});

  AtomicFile dropped;
  ASSERT_EQ(dropped.Create(target), kErrorSuccess);
  dropped.HandOver();
  WriteWholeFile(dropped.TemporaryPath(), "half");
  dropped.Abandon();
  EXPECT_EQ(ReadWholeFile(target), "downloaded");
  EXPECT_EQ(FolderEntries(dir.Path()), std::set<std::string>{"tola400fw0123.hex"});
}

TEST(FileGuard, DestinationCheckedBeforeTheWork) {
  TempFolder dir;
  WriteWholeFile(dir / "plain", "x");
  ASSERT_EQ(CreateFolder(dir / "sub"), kErrorSuccess);
  struct Row {
    const char* name;
    std::string path;
    std::uint64_t minimumFree;
    ResultCode code;
  };
  const Row rows[] = {
      {"new file", dir / "new.TOLAConfig", 1, kErrorSuccess},
      {"existing file", dir / "plain", 1, kErrorSuccess},
      {"missing folder", dir / "gone/new.TOLAConfig", 1, kErrorPathNotFound},
      {"file used as a folder", dir / "plain/new.TOLAConfig", 1, kErrorPathNotFound},
      {"folder", dir / "sub", 1, kErrorDirectory},
      {"trailing slash", dir / "sub/", 1, kErrorInvalidName},
      {"name too long for its temporary", dir / std::string(250, 'n'), 1, kErrorFilenameExcedRange},
      {"not enough room", dir / "new.TOLAConfig", std::numeric_limits<std::uint64_t>::max(), kErrorDiskFull},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(CheckWritableFile(r.path, r.minimumFree), r.code);
  }
  EXPECT_EQ(CheckWritableFolder(dir / "gone"), kErrorPathNotFound);
  EXPECT_EQ(CheckWritableFolder(dir / "plain"), kErrorPathNotFound);
  EXPECT_EQ(CheckWritableFolder(dir.Path()), kErrorSuccess);
  EXPECT_EQ(FolderEntries(dir.Path()).size(), 2u) << "checking writes nothing";
}

constexpr const char kGoodHive[] =
    "Windows Registry Editor Version 5.00\n"
    "\n"
    "; a comment\n"
    "[HKEY_CURRENT_USER\\Software\\Ostravel\\TOLA Utility]\n"
    "\"Port\"=\"ttyUSB0\"\n"
    "\"Trace\"=dword:00000001\n"
    "\"Gone\"=-\n";

TEST(DamagedHive, AHiveNotReadWholeIsCopiedBeforeItIsFirstRewritten) {
  const std::string key = "Software\\Ostravel\\TOLA Utility";
  // Lines added after a good hive, and how many of them cannot be read.
  struct Row {
    const char* name;
    std::string_view added;
    std::size_t unread;
  };
  static constexpr char kBinary[] = "\x7F" "ELF\x02\x01\x01\n\x03\x00\x3E\x00\n";
  const Row rows[] = {
      {"clean", "", 0},
      {"garbage line", "\"Trace\" dword 1\n", 1},
      {"binary", std::string_view(kBinary, sizeof kBinary - 1), 2},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    TempFolder dir;
    const std::string hive = dir / "TOLA Utility.reg";
    std::string text = kGoodHive;
    text.append(r.added);
    WriteWholeFile(hive, text);
    HiveFileStore store(hive);
    ASSERT_EQ(store.Load(), kErrorSuccess);
    EXPECT_EQ(store.UnreadLines(), r.unread);
    ASSERT_EQ(store.SetValue(key, "Port", kRegSz, Utf16FromUtf8("ttyS1")), kErrorSuccess);
    const std::string copy = store.DamagedCopyPath();
    if (r.unread == 0) {
      EXPECT_EQ(FolderEntries(dir.Path()).size(), 1u);
    } else {
      EXPECT_EQ(ReadWholeFile(copy), text);
      // A later write leaves the copy of the original alone.
      WriteWholeFile(copy, "kept");
      ASSERT_EQ(store.SetValue(key, "Port", kRegSz, Utf16FromUtf8("ttyS2")), kErrorSuccess);
      EXPECT_EQ(ReadWholeFile(copy), "kept");
    }
  }
}

TEST(DamagedHive, NoCopyNoRewrite) {
  TempFolder dir;
  const std::string hive = dir / "TOLA Utility.reg";
  std::string text = kGoodHive;
  text.append("garbage\n");
  WriteWholeFile(hive, text);
  HiveFileStore store(hive);
  ASSERT_EQ(store.Load(), kErrorSuccess);
  ASSERT_EQ(CreateFolder(store.DamagedCopyPath()), kErrorSuccess);  // the copy cannot be written
  EXPECT_NE(store.SetValue("Software\\Ostravel\\TOLA Utility", "Port", kRegSz, Utf16FromUtf8("x")),
            kErrorSuccess);
  EXPECT_EQ(ReadWholeFile(hive), text);
}

}  // namespace
}  // namespace tola
