// The registry in the device folder while a device runs: every change is in
// the folder as soon as it is made (a kill at any moment leaves the registry
// as it was before or after each change), the file is rewritten only when
// the device shuts down or the journal grows, and keys stay within the
// platform's limits.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device.h"
#include "device_error.h"
#include "registry_store.h"
#include "standin/temp_folder.h"

namespace {

using namespace standin;  // TempDir, fs and the file helpers
using wince::RegistryStore;

// The registry a new store reads from `file` and its journal.
std::string storedText(const fs::path& file) {
  wince::Accounting accounting;
  return RegistryStore(file, accounting).exportText();
}

// The same from a copy of the folder's registry files: what a kill at this
// moment would leave. The device that wrote them runs on.
std::string readBackCopy(const fs::path& folder) {
  TempDir copy;
  for (const char* name : {"registry.reg", "registry.journal"})
    if (fs::exists(folder / name)) fs::copy_file(folder / name, copy.path() / name);
  return storedText(copy.path() / "registry.reg");
}

std::vector<uint8_t> dword(DWORD v) { return RegistryStore::dwordBytes(v); }

HKEY createKey(HKEY base, const char16_t* path) {
  HKEY k = NULL;
  EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(base, path, 0, NULL, 0, 0, NULL, &k, NULL));
  return k;
}

void setDword(const char16_t* path, const char16_t* name, DWORD v) {
  HKEY k = createKey(HKEY_CURRENT_USER, path);
  EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4));
  RegCloseKey(k);
}

// Changes of every kind, through the API and through the host helpers; each
// is one line of the journal.
struct Change {
  const char* what;
  std::function<void(RegistryStore&)> make;
};

std::vector<Change> changes() {
  std::vector<uint8_t> longBinary;
  for (int i = 0; i < 200; ++i) longBinary.push_back(static_cast<uint8_t>(i * 13));
  return {
      {"a new key", [](RegistryStore&) { RegCloseKey(createKey(HKEY_CURRENT_USER, u"Software\\J\\Empty")); }},
      {"a dword", [](RegistryStore&) { setDword(u"Software\\J", u"Count", 1); }},
      {"the dword again", [](RegistryStore&) { setDword(u"Software\\J", u"COUNT", 2); }},
      {"a default value", [](RegistryStore& r) { r.setValue("HKCU\\Software\\J", "", REG_SZ, r.stringBytes("x")); }},
      {"odd names",
       [](RegistryStore& r) { r.setValue("HKCU\\Software\\J", "tab\tquote\"\nline=-", REG_SZ, {1, 2, 3}); }},
      {"long hex", [=](RegistryStore& r) { r.setValue("HKCU\\Software\\J\\Bin", "B", REG_BINARY, longBinary); }},
      {"a value at a root", [](RegistryStore& r) { r.setValue("HKLM", "Top", 0x1234, {9}); }},
      {"a deleted value", [](RegistryStore& r) { r.deleteValue("HKCU\\Software\\J", ""); }},
      {"a deleted value through the API",
       [](RegistryStore&) {
         HKEY k = createKey(HKEY_CURRENT_USER, u"Software\\J");
         EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(k, u"count"));
         RegCloseKey(k);
       }},
      {"a deleted key with keys below", [](RegistryStore&) { RegDeleteKeyW(HKEY_CURRENT_USER, u"Software\\J"); }},
      {"the key again in other case",
       [](RegistryStore& r) { r.setValue("HKCU\\SOFTWARE\\j\\New", "n", REG_DWORD, dword(3)); }},
      {"a deleted key through the host", [](RegistryStore& r) { r.deleteKey("HKCU\\Software\\j\\New"); }},
  };
}

// The journal of a run, the registry after each of its changes and where
// each change's line ends in the journal.
struct Recorded {
  std::string factory, journal;
  std::vector<std::string> after;  // after[n]: with the first n changes
  std::vector<size_t> ends;        // ends[n]: the journal's size with them
};

// The changes made on a new device, checking on the way that each is in
// the folder as soon as it is made (what a kill would leave reads as the
// registry of that moment), that the file itself is written only at the
// end, and that nothing else is left.
Recorded recordRun() {
  TempDir dir;
  const fs::path file = dir.path() / "registry.reg";
  Recorded r;
  {
    wince::Device dev(wince::DeviceOptions{.folder = dir.path()});
    r.factory = readFile(file);
    r.after.push_back(dev.registry().exportText());
    r.ends.push_back(0);
    for (const Change& c : changes()) {
      SCOPED_TRACE(c.what);
      c.make(dev.registry());
      r.after.push_back(dev.registry().exportText());
      r.ends.push_back(fs::file_size(dir.path() / "registry.journal"));
      EXPECT_EQ(r.after.back(), readBackCopy(dir.path()));
    }
    EXPECT_EQ(r.factory, readFile(file));
    r.journal = readFile(dir.path() / "registry.journal");
  }
  EXPECT_EQ(r.after.back(), readFile(file));
  EXPECT_EQ(std::vector<std::string>{"registry.reg"}, folderEntries(dir.path()));
  for (size_t n = 1; n < r.ends.size(); ++n)
    EXPECT_EQ(1, std::count(r.journal.begin() + r.ends[n - 1], r.journal.begin() + r.ends[n], '\n')) << n;
  return r;
}

const Recorded& recordedRun() {
  static const Recorded run = recordRun();
  return run;
}

TEST(RegistryJournal, AKillAtAnyMomentLeavesTheRegistryBeforeOrAfterEachChange) {
  const Recorded& run = recordedRun();
  ASSERT_EQ(run.ends.back(), run.journal.size());
  // A journal cut at the end of each change, one byte before, one after,
  // and halfway into the next.
  std::vector<size_t> cuts;
  for (size_t n = 0; n + 1 < run.ends.size(); ++n)
    for (size_t cut : {run.ends[n], run.ends[n + 1] - 1, run.ends[n] + 1, (run.ends[n] + run.ends[n + 1]) / 2})
      cuts.push_back(cut);
  cuts.push_back(run.journal.size());
  for (size_t cut : cuts) {
    SCOPED_TRACE("journal cut after byte " + std::to_string(cut));
    size_t whole = 0;
    while (whole + 1 < run.ends.size() && run.ends[whole + 1] <= cut) ++whole;
    TempDir dir;
    writeFile(dir.path() / "registry.reg", run.factory);
    writeFile(dir.path() / "registry.journal", run.journal.substr(0, cut));
    {
      wince::Device dev(wince::DeviceOptions{.folder = dir.path()});
      EXPECT_EQ(run.after[whole], dev.registry().exportText());
      // The journal was folded in at once: nothing follows a cut line.
      EXPECT_FALSE(fs::exists(dir.path() / "registry.journal"));
      setDword(u"Software\\After", u"v", 1);
    }
    wince::Accounting accounting;
    RegistryStore again(dir.path() / "registry.reg", accounting);
    EXPECT_TRUE(again.getValue("HKCU\\Software\\After", "v"));
  }
  // A kill after the file was replaced and before the journal was removed:
  // the changes the file already holds replay as the same registry.
  TempDir dir;
  writeFile(dir.path() / "registry.reg", run.after.back());
  writeFile(dir.path() / "registry.journal", run.journal);
  EXPECT_EQ(run.after.back(), storedText(dir.path() / "registry.reg"));
}

TEST(RegistryJournal, TheJournalIsFoldedInBeforeItOutgrowsTheFile) {
  TempDir dir;
  wince::Device dev(wince::DeviceOptions{.folder = dir.path()});
  const std::vector<uint8_t> data(100, 0xAB);
  const fs::path journal = dir.path() / "registry.journal";
  uintmax_t largest = 0;
  for (int i = 0; i < 4000; ++i) {
    dev.registry().setValue("HKCU\\Software\\Grow", "v" + std::to_string(i % 50), REG_BINARY, data);
    if (fs::exists(journal)) largest = std::max(largest, fs::file_size(journal));
  }
  // Far less than the 4000 changes' lines, about 1.3 MB.
  EXPECT_LE(largest, 300u * 1024);
  EXPECT_EQ(dev.registry().exportText(), readBackCopy(dir.path()));
}

// A change the folder cannot take (the disk full half way through its
// line, a read-only registry.reg) is refused and taken back: the device's
// registry stays the one the folder holds, which a new device reads, and
// reads again when the folder cannot take the whole file at load.
TEST(RegistryJournal, AChangeTheFolderCannotTakeIsRefusedAndTakenBack) {
  const std::vector<uint8_t> big(3000, 0x5A);
  struct Case {
    const char* what;
    std::function<void(RegistryStore&)> make;
  } cases[] = {
      {"a value set", [&](RegistryStore& r) { r.setValue("HKCU\\Software\\J", "v", REG_BINARY, big); }},
      {"a value set in new keys", [&](RegistryStore& r) { r.setValue("HKCU\\Software\\New\\Deep", "v", REG_BINARY, big); }},
      {"a value set through the API",
       [&](RegistryStore&) {
         HKEY k = createKey(HKEY_CURRENT_USER, u"Software\\J");
         EXPECT_EQ(ERROR_CANTWRITE, RegSetValueExW(k, u"Count", 0, REG_BINARY, big.data(), 3000));
         RegCloseKey(k);
       }},
      {"a value deleted", [](RegistryStore& r) { r.deleteValue("HKCU\\Software\\J", "count"); }},
      {"a key deleted", [](RegistryStore& r) { r.deleteKey("HKCU\\Software\\J"); }},
      {"a key made through the API",
       [](RegistryStore&) {
         HKEY k = NULL;
         EXPECT_EQ(ERROR_CANTWRITE, RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\J\\K\\L", 0, NULL, 0, 0, NULL, &k, NULL));
         if (k) RegCloseKey(k);
       }},
  };
  for (bool readOnly : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (readOnly ? ", read-only registry.reg" : ", disk full"));
      TempDir dir;
      const fs::path file = dir.path() / "registry.reg";
      {
        wince::Device dev(wince::DeviceOptions{.folder = dir.path()});
        setDword(u"Software\\J", u"Count", 1);
        dev.registry().setValue("HKCU\\Software\\J\\Sub", "x", REG_BINARY, big);
      }
      if (readOnly) fs::permissions(file, fs::perms::owner_read | fs::perms::group_read);
      const std::string text = readFile(file);
      std::string before;
      {
        wince::Device dev(wince::DeviceOptions{.folder = dir.path()});
        before = dev.registry().exportText();
        if (!readOnly) {
          setDword(u"Software\\J", u"Small", 2);  // appended before the disk fills up
          before = dev.registry().exportText();
        }
        {
          std::optional<standin::FileSizeLimit> full;
          if (!readOnly) full.emplace(fs::file_size(dir.path() / "registry.journal") + 10);
          const std::string error = errorOf([&] { c.make(dev.registry()); });
          const std::string why = readOnly ? file.string() + ": it is read-only"
                                           : (dir.path() / "registry.journal").string() + ": File too large";
          EXPECT_TRUE(error.empty() || error == "cannot write " + why) << error;
          EXPECT_EQ(before, dev.registry().exportText()) << "the change is taken back";
          // A store on the same folder, still full, reads it: the file that
          // cannot be written is left with its journal.
          EXPECT_EQ(before, storedText(file));
        }
        EXPECT_EQ(before, readBackCopy(dir.path()));
        EXPECT_EQ(0, dev.accounting().live(wince::ObjectKind::Key));
      }
      if (readOnly) {
        EXPECT_EQ(text, readFile(file)) << "a read-only registry.reg is never rewritten";
        EXPECT_EQ(fs::perms::owner_read | fs::perms::group_read, fs::status(file).permissions());
      }
      EXPECT_EQ(before, storedText(file));
    }
  }
}

TEST(RegistryJournal, ALinkedRegistryFileIsWrittenThroughKeepingItsMode) {
  TempDir dir;
  fs::create_directory(dir.path() / "keep");
  const fs::path real = dir.path() / "keep" / "device.reg";
  { wince::Device dev(wince::DeviceOptions{.folder = dir.path() / "keep"}); }
  fs::rename(dir.path() / "keep" / "registry.reg", real);
  fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
  fs::create_directory(dir.path() / "d");
  fs::create_symlink(real, dir.path() / "d" / "registry.reg");
  {
    wince::Device dev(wince::DeviceOptions{.folder = dir.path() / "d"});
    setDword(u"Software\\Linked", u"v", 7);
  }
  EXPECT_TRUE(fs::is_symlink(dir.path() / "d" / "registry.reg"));
  EXPECT_NE(std::string::npos, readFile(real).find("\"v\"=dword:00000007"));
  EXPECT_EQ(fs::perms::owner_read | fs::perms::owner_write, fs::status(real).permissions());
  EXPECT_EQ((std::vector<std::string>{"device.reg"}), folderEntries(dir.path() / "keep"));
}

// "HKCU\\k\\k..." with `levels` key names of `length` characters.
std::string deepPath(size_t levels, size_t length) {
  std::string path = "HKCU";
  for (size_t i = 0; i < levels; ++i) path += "\\" + std::string(length, 'k');
  return path;
}

// Keys as deep and as long as the platform allows are made, written in a
// line of their own and read back; one level or one character more is
// refused, by the host helpers and the API alike, and a path far beyond the
// limits without being walked.
TEST(RegistryLimits, KeysStayWithinThePlatformsLimits) {
  TempDir dir;
  {
    wince::Device dev(wince::DeviceOptions{.folder = dir.path()});
    RegistryStore& reg = dev.registry();
    const size_t factory = reg.exportText().size();
    reg.setValue(deepPath(16, 255), "v", REG_DWORD, dword(1));
    EXPECT_TRUE(reg.getValue(deepPath(16, 255), "v"));
    // The deepest key's line names its path once; the keys above it need
    // no line of their own, so the file grows with the keys listed, not
    // their depth.
    EXPECT_LT(reg.exportText().size(), factory + 16 * 256 + 100);
    struct Case {
      size_t levels, length;
    } refused[] = {{17, 1}, {1, 256}, {50000, 1}};
    for (const Case& c : refused) {
      SCOPED_TRACE(std::to_string(c.levels) + " levels of " + std::to_string(c.length));
      const std::string error = errorOf([&] { reg.setValue(deepPath(c.levels, c.length), "v", REG_DWORD, dword(1)); });
      // One short line, however long the path.
      EXPECT_LT(error.size(), 300u) << error;
      EXPECT_NE(std::string::npos, error.find("at most 16 key names")) << error;
      EXPECT_THROW(reg.keyExists(deepPath(c.levels, c.length)), wince::DeviceError);
    }
    EXPECT_FALSE(reg.keyExists(deepPath(1, 1) + "\\k"));
    std::u16string path = u"k";
    for (int i = 1; i < 50000; ++i) path += u"\\k";
    HKEY k = NULL;
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, NULL, 0, 0, NULL, &k, NULL));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, 0, &k));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str()));
    EXPECT_FALSE(reg.keyExists("HKCU\\k"));
    EXPECT_EQ(0, dev.accounting().live(wince::ObjectKind::Key));
  }
  wince::Accounting accounting;
  RegistryStore again(dir.path() / "registry.reg", accounting);
  for (size_t levels = 1; levels <= 16; ++levels) EXPECT_TRUE(again.keyExists(deepPath(levels, 255))) << levels;
}

}  // namespace
