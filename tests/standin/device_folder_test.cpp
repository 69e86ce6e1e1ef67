// The device folder held for a run: which folders are device folders, the
// lock that keeps a second holder out, what killed runs leave behind, and
// what a device path may name in it (the folder is data: no path leads out
// of it, and no file in it runs as host code).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "device.h"
#include "device_error.h"
#include "device_folder.h"
#include "standin/temp_folder.h"

namespace {

using namespace standin;  // TempDir, fs and the file helpers
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
    EXPECT_EQ(dir.path().string() + c.error, errorOf([&] { DeviceFolder held(dir.path()); }));
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
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(
        folder.string() + ": the device folder is in use by another process (pid " + std::to_string(getpid()) + ")",
        errorOf([&] { DeviceFolder second(folder); }));
  // The refused one touched nothing, not even the holder's temporary file.
  EXPECT_EQ((std::vector<std::string>{".registry.reg.q1w2e3", "device.lock", "registry.reg"}), folderEntries(folder));
  first.reset();
  DeviceFolder third(folder);
  EXPECT_EQ((std::vector<std::string>{"device.lock", "registry.reg"}), folderEntries(folder));
}

// A device in a folder of its own, with the build's libraries.
struct FolderDevice {
  TempDir dir;
  fs::path folder = dir.path() / "device";
  fs::path outside = dir.path() / "outside";
  std::unique_ptr<wince::Device> device;
  FolderDevice() {
    fs::create_directories(folder / "Windows");
    fs::create_directories(outside);
    const char* lib = std::getenv("CRESTUNE_LIB_DIR");
    device = std::make_unique<wince::Device>(wince::DeviceOptions{.folder = folder, .romFolder = lib ? lib : ""});
  }
};

TEST(DeviceFolder, ADevicePathNamesAFileInsideTheFolderOrNothing) {
  FolderDevice d;
  fs::create_directory_symlink(d.outside, d.folder / "Windows" / "out");
  writeFile(d.folder / "notes.txt", "x");
  fs::create_symlink(d.folder / "notes.txt", d.folder / "Windows" / "in.txt");
  struct Case {
    std::u16string path;
    std::string inside;  // relative to the folder; empty: refused
  } cases[] = {
      {u"\\Windows\\crestitem.dll", "Windows/crestitem.dll"},
      {u"Windows\\crestitem.dll", "Windows/crestitem.dll"},  // no current folder: from the root
      {u"\\Program Files\\Crestune", "Program Files/Crestune"},
      {u"\\Windows\\in.txt", "Windows/in.txt"},  // a link that stays inside
      {u"", ""},
      {u"..\\..\\..\\tmp\\x\\evil.so", ""},
      {u"\\Windows\\..\\..\\outside\\x.dll", ""},
      {u"\\Windows\\.\\x.dll", ""},
      {u"\\..", ""},
      {u"/tmp/x/evil.so", ""},
      {u"\\Windows/../../x.so", ""},
      {u"C:\\Windows\\x.dll", ""},
      {u"\\Windows\\x.dll:stream", ""},
      {u"\\\\host\\share\\x.dll", ""},
      {u"\\Windows\\\\x.dll", ""},
      {u"\\Windows\\", ""},
      {u"\\Windows\\x\u0001.dll", ""},
      {u"\\Windows\\x*.dll", ""},
      {u"\\Windows\\out\\x.dll", ""},  // a link that leads out
      {u"\\Windows\\out", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(wince::narrow(c.path));
    const fs::path p = d.device->hostPath(c.path);
    if (c.inside.empty())
      EXPECT_EQ(fs::path(), p);
    else
      EXPECT_EQ((d.folder / c.inside).lexically_normal(), p.lexically_normal());
  }
}

// Which library LoadLibraryW takes for a name, when the device folder holds
// copies of the build's libraries, a shared object that is none of them,
// and the name leads in or out of the folder.
TEST(DeviceFolder, OnlyTheBuildsOwnLibrariesLoadWhateverTheDeviceFolderHolds) {
  FolderDevice d;
  const fs::path lib = d.device->options().romFolder;
  ASSERT_TRUE(fs::exists(lib / "confres.so")) << "CRESTUNE_LIB_DIR is the build's library folder";
  const fs::path mark = d.dir.path() / "mark";
  ASSERT_EQ(0, setenv("CRESTUNE_HOSTCODE_MARK", mark.c_str(), 1));
  const fs::path win = d.folder / "Windows";
  fs::copy_file(lib / "confres.so", win / "confres.dll");     // the installer's copy
  fs::copy_file(lib / "confres.so", win / "Package.dll");     // the same, kept under another name
  writeFile(win / "changed.dll", readFile(lib / "confres.so") + "x");  // one byte more
  fs::copy_file(CRESTUNE_HOSTCODE, win / "hostcode.dll");
  fs::copy_file(CRESTUNE_HOSTCODE, win / "crestitem.dll");  // in the place of a library of the build
  fs::copy_file(CRESTUNE_HOSTCODE, d.outside / "hostcode.so");
  fs::copy_file(lib / "confres.so", d.outside / "confres.so");
  fs::create_symlink(d.outside / "confres.so", win / "linked.dll");
  // Up from the folder past the host's root, and down to `outside`.
  std::u16string up = u"..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\" + wince::widen(d.outside.relative_path().string());
  std::replace(up.begin(), up.end(), u'/', u'\\');

  HMODULE confres = LoadLibraryW(u"confres.dll");
  ASSERT_NE(nullptr, confres);
  struct Case {
    std::u16string name;
    bool isConfres;  // loads as the build's confres, the module already loaded
    DWORD error;     // otherwise
  } cases[] = {
      {u"\\Windows\\confres.dll", true, 0},
      {u"\\Windows\\Package.dll", true, 0},
      {u"Package.dll", true, 0},
      {u"\\Windows\\changed.dll", false, ERROR_BAD_EXE_FORMAT},
      {u"\\Windows\\hostcode.dll", false, ERROR_BAD_EXE_FORMAT},
      {u"hostcode.dll", false, ERROR_BAD_EXE_FORMAT},
      {u"crestitem.dll", false, ERROR_BAD_EXE_FORMAT},
      {u"\\Windows\\crestitem.dll", false, ERROR_BAD_EXE_FORMAT},
      {up + u"\\hostcode.so", false, ERROR_MOD_NOT_FOUND},
      {up + u"\\confres.so", false, ERROR_MOD_NOT_FOUND},
      {wince::widen((d.outside / "hostcode.so").string()), false, ERROR_MOD_NOT_FOUND},
      {wince::widen((lib / "confres.so").string()), false, ERROR_MOD_NOT_FOUND},
      {u"C:\\Windows\\confres.dll", false, ERROR_MOD_NOT_FOUND},
      {u"\\Windows\\linked.dll", false, ERROR_MOD_NOT_FOUND},
      {u"..", false, ERROR_MOD_NOT_FOUND},
      {u"C:confres.dll", false, ERROR_MOD_NOT_FOUND},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(wince::narrow(c.name));
    SetLastError(0);
    HMODULE m = LoadLibraryW(c.name.c_str());
    if (c.isConfres) {
      EXPECT_EQ(confres, m) << "one library, one module";
      EXPECT_TRUE(d.device->lastLoadRefusal().empty()) << d.device->lastLoadRefusal();
    } else {
      EXPECT_EQ(nullptr, m);
      EXPECT_EQ(c.error, GetLastError());
      EXPECT_FALSE(d.device->lastLoadRefusal().empty()) << "the refusal is said in words";
    }
    if (m) FreeLibrary(m);
  }
  EXPECT_TRUE(FreeLibrary(confres));
  EXPECT_EQ(0, d.device->accounting().live(wince::ObjectKind::Module));
  EXPECT_FALSE(fs::exists(mark)) << readFile(mark);
  unsetenv("CRESTUNE_HOSTCODE_MARK");
}

}  // namespace
