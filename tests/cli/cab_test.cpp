// crestune install with a CAB of its own (--cab) or the build's: they
// install; a CAB that is damaged or not for this device is refused with one
// line naming the file and the reason, and the device folder is left
// exactly as it was.
#include <functional>

#include "cabinet.h"
#include "cli_run.h"

namespace clitest {
namespace {

const char* const kTodayKey = "HKLM\\Software\\Microsoft\\Today\\Items\\WMP Crestune";

class CabTest : public CliTest {
 protected:
  // The build's own CAB with its members or its install script changed.
  using Change = std::function<void(std::vector<cab::Member>&, cab::InstallScript&)>;
  fs::path makeCab(const std::string& name, const Change& change, const fs::path& from = CRESTUNE_HOST_CAB) {
    std::vector<cab::Member> members = cab::readCabinetFile(from);
    cab::InstallScript script = cab::readInstallScript(members.at(0).bytes);
    change(members, script);
    for (cab::Member& m : members)
      if (m.name == "CRESTUNE.000") m.bytes = cab::writeInstallScript(script);
    cab::writeCabinet(path(name), members);
    return path(name);
  }
  static void drop(std::vector<cab::Member>& members, const std::string& name) {
    std::erase_if(members, [&](const cab::Member& m) { return m.name == name; });
  }
};

uint32_t word(const std::vector<uint8_t>& f, size_t at) {
  return at + 4 <= f.size() ? f[at] | f[at + 1] << 8 | f[at + 2] << 16 | uint32_t{f[at + 3]} << 24 : 0;
}

// The file offset of an export's code in an ARM PE image, by ordinal.
size_t exportOffset(const std::vector<uint8_t>& f, unsigned ordinal) {
  const size_t pe = word(f, 0x3C), sections = pe + 24 + (word(f, pe + 20) & 0xFFFF);
  auto offsetOf = [&](uint32_t rva) -> size_t {
    for (size_t i = 0, n = word(f, pe + 4) >> 16; i < n; ++i) {
      const size_t s = sections + i * 40;
      const uint32_t va = word(f, s + 12), size = word(f, s + 16), raw = word(f, s + 20);
      if (rva >= va && rva < va + size) return raw + (rva - va);
    }
    return 0;
  };
  const size_t exports = offsetOf(word(f, pe + 24 + 96));
  const uint32_t base = word(f, exports + 16);
  return offsetOf(word(f, offsetOf(word(f, exports + 28)) + 4 * (ordinal - base)));
}

// A BLX at the start of the item's InitializeCustomItem (ordinal 240):
// ARMv5, an undefined instruction on the SA-1110.
void putBlx(std::vector<uint8_t>& f) {
  const size_t at = exportOffset(f, 240);
  ASSERT_GT(at, 0u);
  f[at] = 0x31, f[at + 1] = 0xFF, f[at + 2] = 0x2F, f[at + 3] = 0xE1;  // blx r1
}

// The device build's library doctored, installed from its CAB, and the
// Today screen shown by `crestune run`: the device fails, the host does
// not. What the installation wrote stays in the device's registry.
TEST_F(CabTest, ADoctoredDeviceLibraryFailsTheRunInOneLineAndTheHostGoesOn) {
  using Bytes = std::vector<uint8_t>;
  const struct {
    const char* doctoring;
    std::function<void(Bytes&)> change;
    std::string line;  // the start of the run's one line of failure, after "run.crest:N: "
  } cases[] = {
      {"a BLX at the start of the item's InitializeCustomItem", putBlx,
       "device fault: undefined instruction at crestitem.dll+0x"},
      {"an import of COREDLL ordinal 9999, which the device lacks",
       [](Bytes& f) {
         for (size_t i = 0x200; i + 4 <= f.size(); i += 4)
           if (word(f, i) == (0x80000000u | 455)) f[i] = 9999 & 0xFF, f[i + 1] = 9999 >> 8;
       },
       "crestitem.dll: imports COREDLL.dll ordinal 9999 (unknown), which the device does not have"},
  };
  script("check.crest", std::string("reg check \"") + kTodayKey + "\" DLL sz \\Windows\\crestitem.dll\n");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.doctoring);
    fs::remove_all(path("D"));
    const fs::path doctored = makeCab("doctored.cab", [&](std::vector<cab::Member>& members, cab::InstallScript&) {
      for (cab::Member& m : members)
        if (m.name == "CRESTI~1.001") {
          const Bytes before = m.bytes;
          c.change(m.bytes);
          EXPECT_NE(m.bytes, before) << "nothing doctored";
        }
    }, CRESTUNE_ARM_CAB);
    script("run.crest", "today start\ninstall " + doctored.string() + "\ncontrol tap 1\ncheck item \"WMP Crestune\" shown\n");
    Result run = crestune({"run", "run.crest", "--device", "D"});
    EXPECT_EQ(run.status, 1) << "a signal ends the host: " << (run.status == -1);
    ASSERT_EQ(run.errLines().size(), 1u) << run.err;
    const std::string line = run.errLines()[0];
    EXPECT_NE(line.find(": " + c.line), std::string::npos) << line;
    EXPECT_EQ(line.rfind("run.crest:", 0), 0u) << line;
    Result check = crestune({"run", "check.crest", "--device", "D"});
    EXPECT_EQ(check.status, 0) << check.err;
  }
}

// The build's CAB given with --cab, and without it the package of the build
// the device runs (the device build's StrongARM CAB by default, the host
// build's x86-64 one with --native), install their files and values and
// remove them again; and an item registered by the bare name is
// the library of the build the device runs.
TEST_F(CabTest, EachPackageInstallsItsFilesAndValuesAndTheDefaultIsTheBuildTheDeviceRuns) {
  const fs::path libs = CRESTUNE_BUILD_LIBS;
  const struct {
    Words package;  // the words after install --device D, and uninstall's
    fs::path library;
  } packages[] = {
      {{"--cab", CRESTUNE_HOST_CAB}, libs / "crestitem.so"},
      {{}, libs.parent_path() / "device" / "crestitem.dll"},
      {{"--native"}, libs / "crestitem.so"},
  };
  script("check.crest", std::string("reg check \"") + kTodayKey + "\" DLL sz \\Windows\\crestitem.dll\n" +
                            "reg check \"" + kTodayKey + "\" Order dword 10\n" +
                            "reg check \"HKLM\\Software\\Apps\\Crestune team Crestune\" Instl dword 1\n" +
                            "reg check \"HKLM\\Software\\Apps\\Crestune team Crestune\" InstlDir sz "
                            "\"\\Program Files\\Crestune\"\n");
  for (const auto& p : packages) {
    SCOPED_TRACE(::testing::PrintToString(p.package));
    fs::remove_all(path("D"));
    Words install = {"install", "--device", "D"}, removal = {"uninstall", "--device", "D"};
    install.insert(install.end(), p.package.begin(), p.package.end());
    removal.insert(removal.end(), p.package.begin(), p.package.end());
    Result installed = crestune(install);
    ASSERT_EQ(installed.status, 0) << installed.err;
    EXPECT_EQ(readFile(path("D/Windows/crestitem.dll")), readFile(p.library));
    EXPECT_TRUE(fs::is_directory(path("D/Program Files/Crestune")));
    Result check = crestune({"run", "check.crest", "--device", "D"});
    EXPECT_EQ(check.status, 0) << check.err;
    Result removed = crestune(removal);
    ASSERT_EQ(removed.status, 0) << removed.err;
    EXPECT_FALSE(fs::exists(path("D/Windows/crestitem.dll")));
    EXPECT_FALSE(fs::exists(path("D/Program Files/Crestune")));
    EXPECT_FALSE(fs::exists(path("D/Windows/AppMgr/Crestune team Crestune.000")));
  }
  // The bare name on a device without a copy of its own: a device build
  // doctored with a BLX faults, the host build does not.
  fs::create_directory(path("arm"));
  const std::string library = readFile(libs.parent_path() / "device" / "crestitem.dll");
  std::vector<uint8_t> bytes(library.begin(), library.end());
  putBlx(bytes);
  writeFile(path("arm/crestitem.dll"), std::string(bytes.begin(), bytes.end()));
  script("bare.crest", "item register \"WMP Crestune\" crestitem.dll\ntoday start\ncheck item \"WMP Crestune\" shown\n");
  setenv("CRESTUNE_DEVICE_DIR", path("arm").c_str(), 1);
  Result onArm = crestune({"run", "bare.crest"}), native = crestune({"run", "bare.crest", "--native"});
  unsetenv("CRESTUNE_DEVICE_DIR");
  EXPECT_EQ(onArm.status, 1);
  EXPECT_NE(onArm.err.find("device fault: undefined instruction at crestitem.dll+0x"), std::string::npos) << onArm.err;
  EXPECT_EQ(native.status, 0) << native.err;
}

TEST_F(CabTest, ACabThatIsDamagedOrNotForThisDeviceIsRefusedAndTheDeviceStaysAsItWas) {
  using Members = std::vector<cab::Member>;
  using Script = cab::InstallScript;
  // Files that are no CAB of the build's: missing, not one, cut in half, a .000 cut short.
  writeFile(path("notes.txt"), "not a cabinet\n");
  const std::string whole = readFile(CRESTUNE_HOST_CAB);
  writeFile(path("cut.cab"), whole.substr(0, whole.size() / 2));
  Members members = cab::readCabinetFile(CRESTUNE_HOST_CAB);
  const size_t scriptSize = members.at(0).bytes.size();
  members[0].bytes.resize(120);
  cab::writeCabinet(path("short.cab"), members);
  const struct {
    const char* damage;
    std::string file;  // the file given, or "" for the build's CAB changed
    Change change;
    std::string reason;  // the line after "FILE: "
  } cases[] = {
      {"no such file", "missing.cab", {}, "it cannot be read"},
      {"not a cabinet", "notes.txt", {}, "it is not a CAB file"},
      {"cut in half", "cut.cab", {}, "its members cannot be extracted"},
      {"a .000 cut short", "short.cab", {},
       "its install script CRESTUNE.000 is damaged: its header gives its length as " + std::to_string(scriptSize) +
           " bytes, it is 120"},
      {"two install scripts", "", [](Members& m, Script&) { m.push_back({"OTHER.000", m[0].bytes}); },
       "it holds two install scripts, CRESTUNE.000 and OTHER.000"},
      {"no .000", "", [](Members& m, Script&) { drop(m, "CRESTUNE.000"); }, "it holds no .000 install script"},
      {"a member without a number", "",
       [](Members& m, Script&) { m[0].name = "CRESTUNE.ZZZ"; m.push_back({"X.000", {'M'}}); },
       "its member CRESTUNE.ZZZ has no number as its extension"},
      {"the item's library missing", "", [](Members& m, Script&) { drop(m, "CRESTI~1.001"); },
       "it has no member numbered 1 for crestitem.dll"},
      {"another processor", "", [](Members&, Script& s) { s.processor = 4000; },
       "it is for processor type 4000 (MIPS); this device is StrongARM (2577) or x86-64 (8664)"},
      {"a later Windows CE", "", [](Members&, Script& s) { s.minMajor = 4, s.minMinor = 20; },
       "it is for Windows CE 4.20 to 5.99; this device runs 3.0 build 11171"},
      {"an earlier Windows CE", "", [](Members&, Script& s) { s.maxMajor = 2, s.maxMinor = 11; },
       "it is for Windows CE 3.0 to 2.11; this device runs 3.0 build 11171"},
      {"a file that would leave the device", "", [](Members&, Script& s) { s.files[0].name = "..\\..\\escaped.dll"; },
       "its file 1 would go to \\Windows\\..\\..\\escaped.dll, outside the device's folders"},
      {"a folder no Pocket PC has", "", [](Members&, Script& s) { s.strings[2].text = "%CE3%"; },
       "%CE3% is no folder of a Pocket PC"},
      {"a key too deep for the registry", "",
       [](Members&, Script& s) { s.hives[0].path.insert(s.hives[0].path.end(), 16, 4); },
       "its registry value DLL is under no key the registry can hold"},
  };
  ASSERT_EQ(crestune({"run", script("empty.crest", "echo ready\n").string(), "--device", "D"}).status, 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.damage);
    const fs::path file = c.file.empty() ? makeCab("damaged.cab", c.change) : path(c.file);
    const auto before = snapshot(path("D"));
    Result install = crestune({"install", "--device", "D", "--cab", file.string()});
    EXPECT_EQ(install.status, 1);
    ASSERT_EQ(install.errLines().size(), 1u) << install.err;
    const std::string line = install.errLines()[0];
    EXPECT_NE(line.find(file.string() + ": " + c.reason), std::string::npos) << line;
    EXPECT_EQ(before, snapshot(path("D"))) << "the device folder changed";
  }
}

}  // namespace
}  // namespace clitest
