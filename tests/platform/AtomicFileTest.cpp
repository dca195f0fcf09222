// The atomic write: never a half-written file, only ever in place of a regular file, its destination
// checked before long work; and a settings hive not read whole is copied before its first rewrite.

#include "platform/AtomicFile.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
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

// A write call that lets `budget` bytes through and then fails with `err`, like a disk filling up.
AtomicFile::WriteFn FailingAfter(std::size_t budget, int err, std::size_t* written) {
  return [budget, err, written](int fd, const void* data, std::size_t size) -> ssize_t {
    if (*written >= budget) {
      errno = err;
      return -1;
    }
    const std::size_t n = std::min(size, budget - *written);
    const ssize_t done = ::write(fd, data, n);
    if (done > 0) *written += static_cast<std::size_t>(done);
    return done;
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
      file.SetWriteFn(FailingAfter(budget, ENOSPC, &written));
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
  file.SetWriteFn(FailingAfter(4, ENOSPC, &written));
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
    EXPECT_NE(::access(temp.c_str(), F_OK), 0);
    EXPECT_EQ(file.Commit(), kErrorInvalidHandle);
  }
  EXPECT_EQ(ReadWholeFile(target), "before");

  // Interrupted and short writes are carried on until everything is written.
  AtomicFile file;
  ASSERT_EQ(file.Create(target), kErrorSuccess);
  int calls = 0;
  file.SetWriteFn([&calls](int fd, const void* data, std::size_t size) -> ssize_t {
    if (++calls % 2 == 1) {
      errno = EINTR;
      return -1;
    }
    return ::write(fd, data, std::min<std::size_t>(size, 7));
  });
  const std::string content = Content(100);
  ASSERT_EQ(file.Write(content), kErrorSuccess);
  ASSERT_EQ(file.Commit(), kErrorSuccess);
  EXPECT_EQ(ReadWholeFile(target), content);
  EXPECT_EQ(FolderEntries(dir.Path()), std::set<std::string>{"fw.hex"});

  // A write call that makes no progress counts as a full disk.
  AtomicFile stuck;
  ASSERT_EQ(stuck.Create(target), kErrorSuccess);
  stuck.SetWriteFn([](int, const void*, std::size_t) -> ssize_t { return 0; });
  EXPECT_EQ(stuck.Write("x"), kErrorDiskFull);
  stuck.Abandon();
  EXPECT_EQ(ReadWholeFile(target), content);
}


// The kind of file system object at `path`, without following a link; 0 when nothing is there.
mode_t KindAt(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & S_IFMT) : 0;
}

void MakeSocket(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ::close(fd);
}

struct Obstacle {
  const char* name;
  std::function<void(const std::string& path)> make;
  ResultCode code;
};

TEST(FileGuard, OnlyARegularFileIsEverReplaced) {
  const Obstacle obstacles[] = {
      {"fifo", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, kNotRegularFile},
      {"socket", [](const std::string& p) { MakeSocket(p); }, kNotRegularFile},
      {"dangling link", [](const std::string& p) { ASSERT_EQ(::symlink((p + ".gone").c_str(), p.c_str()), 0); },
       kNotRegularFile},
      {"link to a device", [](const std::string& p) { ASSERT_EQ(::symlink("/dev/null", p.c_str()), 0); },
       kNotRegularFile},
      {"folder", [](const std::string& p) { ASSERT_EQ(::mkdir(p.c_str(), 0700), 0); }, kErrorDirectory},
  };
  for (const Obstacle& o : obstacles) {
    SCOPED_TRACE(o.name);
    TempFolder dir;
    const std::string path = dir / "target";
    o.make(path);
    const mode_t before = KindAt(path);
    ASSERT_NE(before, 0u);

    EXPECT_EQ(CheckWritableFile(path), o.code);
    // The final guard, for whatever got past (or around) the early check.
    EXPECT_EQ(WriteFileAtomically(path, "saved\r\n"), o.code);
    EXPECT_EQ(KindAt(path), before);
    // No temporary left behind, and nothing created where a dangling link points.
    EXPECT_EQ(FolderEntries(dir.Path()), std::set<std::string>{"target"});
  }
}

TEST(FileGuard, SomethingPutInPlaceAfterCreateIsNotReplacedAtCommit) {
  TempFolder dir;
  const std::string path = dir / "target";
  AtomicFile file;
  ASSERT_EQ(file.Create(path), kErrorSuccess);
  ASSERT_EQ(file.Write("saved"), kErrorSuccess);
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  EXPECT_EQ(file.Commit(), kNotRegularFile);
  EXPECT_EQ(KindAt(path), static_cast<mode_t>(S_IFIFO));
}

TEST(FileGuard, WritesThroughALinkToItsRegularFile) {
  TempFolder dir;
  TempFolder elsewhere;
  const std::string real = elsewhere / "real.TOLAConfig";
  const std::string link = dir / "link.TOLAConfig";
  WriteWholeFile(real, "old");
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);

  ASSERT_EQ(CheckWritableFile(link), kErrorSuccess);
  ASSERT_EQ(WriteFileAtomically(link, "new"), kErrorSuccess);
  EXPECT_EQ(KindAt(link), static_cast<mode_t>(S_IFLNK)) << "the link stays a link";
  EXPECT_EQ(ReadWholeFile(real), "new");
  struct stat st {};
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u) << "the file keeps its permissions";
  EXPECT_EQ(FolderEntries(dir.Path()).size(), 1u);
  EXPECT_EQ(FolderEntries(elsewhere.Path()).size(), 1u);
}

TEST(FileGuard, DestinationCheckedBeforeTheWork) {
  TempFolder dir;
  WriteWholeFile(dir / "plain", "x");
  ASSERT_EQ(::mkdir((dir / "sub").c_str(), 0700), 0);
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
  ASSERT_EQ(::mkdir(store.DamagedCopyPath().c_str(), 0700), 0);  // the copy cannot be written
  EXPECT_NE(store.SetValue("Software\\Ostravel\\TOLA Utility", "Port", kRegSz, Utf16FromUtf8("x")),
            kErrorSuccess);
  EXPECT_EQ(ReadWholeFile(hive), text);
}

}  // namespace
}  // namespace tola
