// The device folder held for a run: which folders are device folders, the
// lock that keeps a second holder out, and what killed runs leave behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "device_error.h"
#include "device_folder.h"
#include "standin/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using standin::folderEntries;
using standin::readFile;
using standin::TempDir;
using standin::writeFile;
using wince::DeviceFolder;

const std::string kRegistry = "Windows Registry Editor Version 5.00\n";

// A folder's files, made as named: "name" a file, "name/" a folder.
void fill(const fs::path& dir, const std::vector<std::string>& names) {
  for (const std::string& n : names) {
    if (n.back() == '/')
      fs::create_directory(dir / n.substr(0, n.size() - 1));
    else
      writeFile(dir / n, n == "registry.reg" ? kRegistry : "x");
  }
}

TEST(DeviceFolder, OwnLeftoversMakeAFreshDeviceAndAreCleanedAway) {
  struct Case {
    std::vector<std::string> before;
    std::vector<std::string> held;  // what the folder holds while locked
  } cases[] = {
      {{}, {"device.lock"}},
      {{"device.lock"}, {"device.lock"}},
      {{".registry.reg.a1B2c3"}, {"device.lock"}},
      {{".registry.reg.a1B2c3", ".registry.reg.ZZZZZZ", "device.lock"}, {"device.lock"}},
      {{"registry.reg", ".registry.reg.a1B2c3", "registry.journal", "Windows/"},
       {"Windows", "device.lock", "registry.journal", "registry.reg"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.before));
    TempDir dir;
    fill(dir.path(), c.before);
    {
      DeviceFolder held(dir.path());
      EXPECT_EQ(c.held, folderEntries(dir.path()));
      EXPECT_EQ(std::to_string(getpid()) + "\n", readFile(dir.path() / "device.lock"));
    }
    // Letting go removes the lock file and nothing else.
    std::vector<std::string> after = c.held;
    std::erase(after, "device.lock");
    EXPECT_EQ(after, folderEntries(dir.path()));
  }
}

TEST(DeviceFolder, AFolderThatIsNoDeviceFolderIsRefusedAndLeftAsItWas) {
  struct Case {
    std::vector<std::string> files;
    std::string error;  // after the folder's name
  } cases[] = {
      {{"notes.txt"}, ": not a device folder (it has files but no registry.reg)"},
      {{".registry.reg.abc"}, ": not a device folder (it has files but no registry.reg)"},
      {{".registry.reg.abcdef1"}, ": not a device folder (it has files but no registry.reg)"},
      {{".other.reg.abcdef"}, ": not a device folder (it has files but no registry.reg)"},
      {{"registry.journal"}, ": not a device folder (it has files but no registry.reg)"},
      {{"device.lock", "Windows/"}, ": not a device folder (it has files but no registry.reg)"},
      {{"registry.reg/"}, "/registry.reg: not a registry file (not a regular file)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.files));
    TempDir dir;
    fill(dir.path(), c.files);
    const std::vector<std::string> before = folderEntries(dir.path());
    try {
      DeviceFolder held(dir.path());
      ADD_FAILURE() << "accepted";
    } catch (const wince::DeviceError& e) {
      EXPECT_EQ(dir.path().string() + c.error, e.what());
    }
    EXPECT_EQ(before, folderEntries(dir.path()));
  }
  TempDir dir;
  writeFile(dir.path() / "plain", "x");
  EXPECT_THROW(DeviceFolder(dir.path() / "plain"), wince::DeviceError);
  EXPECT_THROW(DeviceFolder(dir.path() / "plain" / "sub"), wince::DeviceError);
}

TEST(DeviceFolder, ASecondHolderIsRefusedAtOnceUntilTheFirstLetsGo) {
  TempDir dir;
  const fs::path folder = dir.path() / "device";
  auto first = std::make_unique<DeviceFolder>(folder);
  writeFile(folder / "registry.reg", kRegistry);
  writeFile(folder / ".registry.reg.q1w2e3", "written by the holder");
  // A lock is per open file: the same process opening the folder again is
  // refused as another process would be.
  for (int i = 0; i < 2; ++i) {
    try {
      DeviceFolder second(folder);
      ADD_FAILURE() << "a second holder was let in";
    } catch (const wince::DeviceError& e) {
      EXPECT_EQ(folder.string() + ": the device folder is in use by another process (pid " +
                    std::to_string(getpid()) + ")",
                e.what());
    }
  }
  // The refused one touched nothing, not even the holder's temporary file.
  EXPECT_EQ((std::vector<std::string>{".registry.reg.q1w2e3", "device.lock", "registry.reg"}), folderEntries(folder));
  first.reset();
  DeviceFolder third(folder);
  EXPECT_EQ((std::vector<std::string>{"device.lock", "registry.reg"}), folderEntries(folder));
}

}  // namespace
