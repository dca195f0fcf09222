#include "platform/AtomicFile.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <string>

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

}  // namespace
}  // namespace tola
