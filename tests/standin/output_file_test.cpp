// Files written whole or not at all: what the writer replaces, what it
// refuses before touching anything, and a write that fails half way (the
// process's file size limit makes write() fail for real, as a full disk does).
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <functional>

#include "output_file.h"
#include "standin/temp_folder.h"

namespace {

using namespace standin;  // TempDir, fs and the file helpers

mode_t modeOf(const fs::path& p) {
  struct stat st {};
  EXPECT_EQ(0, ::stat(p.c_str(), &st)) << p;
  return st.st_mode & 07777;
}

TEST(OutputFile, ReplacesRegularFilesAndWritesThroughLinks) {
  struct Case {
    const char* what;
    std::function<void(const fs::path&)> make;  // makes "out" in the folder
    const char* written;                        // the file that receives the bytes
    mode_t mode;
  } cases[] = {
      {"no file yet", [](const fs::path&) {}, "out", 0644},
      {"a regular file keeps its mode",
       [](const fs::path& d) {
         writeFile(d / "out", "old");
         ::chmod((d / "out").c_str(), 0600);
       },
       "out", 0600},
      {"a link to a file",
       [](const fs::path& d) {
         writeFile(d / "real", "old");
         ::chmod((d / "real").c_str(), 0640);
         fs::create_symlink("real", d / "out");
       },
       "real", 0640},
      {"a link to a link in another folder",
       [](const fs::path& d) {
         fs::create_directory(d / "sub");
         writeFile(d / "sub" / "real", "old");
         fs::create_symlink("real", d / "sub" / "link");
         fs::create_symlink("sub/link", d / "out");
       },
       "sub/real", 0644},
      {"a link to no file yet", [](const fs::path& d) { fs::create_symlink("made", d / "out"); }, "made", 0644},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    c.make(dir.path());
    const bool link = fs::is_symlink(dir.path() / "out");
    wince::writeFileAtomically(dir.path() / "out", "new bytes");
    EXPECT_EQ("new bytes", readFile(dir.path() / c.written));
    EXPECT_EQ(c.mode, modeOf(dir.path() / c.written));
    EXPECT_EQ(link, fs::is_symlink(dir.path() / "out")) << "a link stays a link";
    for (const std::string& name : folderEntries(dir.path())) EXPECT_NE('.', name[0]) << name;
  }
}

TEST(OutputFile, RefusesWhatIsNoRegularFileOrReadOnlyAndLeavesIt) {
  struct Case {
    const char* what;
    std::function<void(const fs::path&)> make;
    const char* why;
  } cases[] = {
      {"a FIFO", [](const fs::path& d) { ::mkfifo((d / "out").c_str(), 0644); }, "it is a FIFO, not a regular file"},
      {"a folder", [](const fs::path& d) { fs::create_directory(d / "out"); }, "it is a folder, not a regular file"},
      {"a socket",
       [](const fs::path& d) {
         sockaddr_un a{};
         a.sun_family = AF_UNIX;
         std::snprintf(a.sun_path, sizeof a.sun_path, "%s", (d / "out").c_str());
         const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
         ASSERT_EQ(0, ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a));
         ::close(s);
       },
       "it is a socket, not a regular file"},
      {"a link to a FIFO",
       [](const fs::path& d) {
         ::mkfifo((d / "fifo").c_str(), 0644);
         fs::create_symlink("fifo", d / "out");
       },
       "it is a FIFO, not a regular file"},
      {"a read-only file",
       [](const fs::path& d) {
         writeFile(d / "out", "old");
         ::chmod((d / "out").c_str(), 0444);
       },
       "it is read-only"},
      {"links in a loop", [](const fs::path& d) { fs::create_symlink("out", d / "out"); },
       "Too many levels of symbolic links"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    c.make(dir.path());
    const auto before = folderEntries(dir.path());
    const fs::path out = dir.path() / "out";
    EXPECT_EQ(c.why, wince::refusalToWrite(out));
    EXPECT_EQ("cannot write " + out.string() + ": " + c.why, errorOf([&] { wince::writeFileAtomically(out, "x"); }));
    EXPECT_EQ(before, folderEntries(dir.path()));
    std::error_code ec;
    if (fs::is_regular_file(out, ec)) {
      EXPECT_EQ("old", readFile(out));
    }
  }
  // A device is only asked about, never written to.
  EXPECT_EQ("it is a device, not a regular file", wince::refusalToWrite("/dev/null"));
}

TEST(OutputFile, AWriteThatFailsHalfWayLeavesTheOldFileAndNothingElse) {
  TempDir dir;
  const fs::path out = dir.path() / "out";
  writeFile(out, "old");
  std::string error;
  {
    standin::FileSizeLimit limit(100);
    error = errorOf([&] { wince::writeFileAtomically(out, std::string(1000, 'x')); });
  }
  EXPECT_EQ("cannot write " + out.string() + ": File too large", error);
  EXPECT_EQ("old", readFile(out));
  EXPECT_EQ(std::vector<std::string>{"out"}, folderEntries(dir.path()));
}

}  // namespace
