// What only Linux has in place of a file to save: pipes, sockets, devices and symbolic links.

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>

#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "support/TempFolder.h"

namespace tola {
namespace {

using test::FolderEntries;
using test::ReadWholeFile;
using test::TempFolder;
using test::WriteWholeFile;

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

}  // namespace
}  // namespace tola
