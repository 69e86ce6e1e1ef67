// The package's formats apart from any device: the .000 install script
// written and read back unchanged, a damaged one refused with what is wrong,
// the shipped .inf read into the package the device installs, and the .inf
// lines CAB Wizard would refuse.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "../standin/temp_folder.h"
#include "inf.h"
#include "install_script.h"
#include "package.h"

namespace cab {
namespace {

std::vector<uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

// A script using every section and every kind of value.
InstallScript everySection() {
  InstallScript s;
  s.processor = kProcessorStrongArm;
  s.minMajor = 3, s.maxMajor = 5, s.maxMinor = 99, s.maxBuild = 0xE0000000;
  s.appName = "Crestune";
  s.provider = "Crestune team";
  s.unsupported = {"HPC", "PALM PC2"};
  s.strings = {{1, "%CE1%"}, {2, "Crestune"}, {3, "%CE2%"}, {4, "Software"}, {5, ""}};
  s.dirs = {{1, {1, 2}}, {2, {3}}};
  s.files = {{1, 2, 1, kFileNoDateCheck, "crestitem.dll"}, {2, 1, 2, kFileShared | kFileNoSkip, "read me.txt"}};
  s.hives = {{1, kHklm, 0, {4, 2}}, {2, kHkcu, 0, {4}}};
  s.keys = {{1, 1, 1, kTypeSz, "DLL", bytesOf(std::string("%CE2%\\crestitem.dll") + '\0')},
            {2, 1, 0, kTypeDword | kNoClobber, "Order", {10, 0, 0, 0}},
            {3, 2, 0, kTypeMultiSz, "", bytesOf(std::string("a\0b\0\0", 5))},
            {4, 2, 0, kTypeBinary, "Raw", {0xFF, 0x00, 0x7F}}};
  s.links = {{1, 0, 11, 1, 1, {2}}, {2, 0, 0, 1, 0, {5}}};
  return s;
}

TEST(InstallScript, WrittenAndReadBackUnchanged) {
  InstallScript empty;
  InstallScript maxima;
  maxima.processor = 0xFFFFFFFF;
  maxima.minMajor = maxima.minMinor = maxima.maxMajor = maxima.maxMinor = maxima.minBuild = maxima.maxBuild = 0xFFFFFFFF;
  maxima.strings = {{65535, std::string(65534, 'x')}};
  maxima.dirs = {{65535, {65535}}};
  maxima.files = {{65535, 65535, 65535, 0xFFFFFFFF, "f"}};
  InstallScript namesOnly;
  namesOnly.appName = "A";
  namesOnly.unsupported = {"POCKETPC"};
  const Inf shipped = readInf(standin::readFile(CRESTUNE_INF), "crestune.inf");
  const struct {
    const char* name;
    InstallScript script;
  } cases[] = {
      {"empty", empty}, {"every section", everySection()}, {"largest numbers", maxima},
      {"names without a provider", namesOnly}, {"the shipped package", compose(shipped.package)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> bytes = writeInstallScript(c.script);
    ASSERT_GE(bytes.size(), 100u);
    EXPECT_EQ(0, std::memcmp(bytes.data(), "MSCE", 4));
    EXPECT_EQ(bytes.size(), bytes[8] | bytes[9] << 8 | bytes[10] << 16 | static_cast<size_t>(bytes[11]) << 24);
    const InstallScript back = readInstallScript(bytes);
    EXPECT_EQ(c.script, back);
    EXPECT_EQ(bytes, writeInstallScript(back));
  }
}

// The bytes of the format's own examples: a string entry and a directory entry.
TEST(InstallScript, EntriesLaidOutAsTheFormatDescribesThem) {
  InstallScript s;
  s.strings = {{1, "foo"}, {2, "bar"}, {3, "baz"}, {4, "Software"}};
  s.dirs = {{1, {1, 2, 3, 4}}};
  const std::vector<uint8_t> b = writeInstallScript(s);
  const size_t strings = b[60] | b[61] << 8, dirs = b[64] | b[65] << 8;
  const std::vector<uint8_t> software = {4, 0, 9, 0, 'S', 'o', 'f', 't', 'w', 'a', 'r', 'e', 0};
  EXPECT_EQ(software, std::vector<uint8_t>(b.begin() + dirs - software.size(), b.begin() + dirs));
  EXPECT_EQ(4, b[48]);  // the number of strings
  const std::vector<uint8_t> dir = {1, 0, 10, 0, 1, 0, 2, 0, 3, 0, 4, 0, 0, 0};
  EXPECT_EQ(dir, std::vector<uint8_t>(b.begin() + dirs, b.begin() + dirs + dir.size()));
  EXPECT_EQ(100u, strings) << "the sections follow the header when there are no names";
  EXPECT_EQ("foo\\bar\\baz\\Software", joinPath(s, s.dirs[0].path));
}

// The shipped package through compose and resolve: what the device installs
// (where its file and values land: tests/cli, installing the build's CAB).
TEST(InstallScript, TheShippedPackageResolvesToItsFilesAndValues) {
  const Package p = readInf(standin::readFile(CRESTUNE_INF), "crestune.inf").package;
  EXPECT_EQ(p, resolve(readInstallScript(writeInstallScript(compose(p)))));
  EXPECT_EQ(kProcessorStrongArm, p.processor);
  EXPECT_EQ(1u, p.files.size());
  ASSERT_EQ(5u, p.values.size());
  EXPECT_FALSE(p.values[0].substitute) << "the Today item's path is written out, as the shell reads it";
}

TEST(InstallScript, ADamagedScriptIsRefusedSayingWhatIsWrong) {
  const std::vector<uint8_t> good = writeInstallScript(everySection());
  auto put16 = [](std::vector<uint8_t>& b, size_t at, unsigned v) { b[at] = v & 0xFF, b[at + 1] = v >> 8; };
  auto at32 = [&](size_t at) { return good[at] | good[at + 1] << 8 | good[at + 2] << 16; };
  const struct {
    const char* damage;
    std::function<void(std::vector<uint8_t>&)> apply;
    const char* expected;  // part of the message
  } cases[] = {
      {"cut inside the header", [](auto& b) { b.resize(99); }, "shorter than the header"},
      {"another signature", [](auto& b) { b[3] = 'F'; }, "MSCE signature"},
      {"a byte more than its length says", [](auto& b) { b.push_back(0); }, "gives its length"},
      {"cut inside its last link, its length mended",
       [&](auto& b) {
         b.resize(b.size() - 3);
         put16(b, 8, static_cast<unsigned>(b.size()));
       },
       "LINKS section runs past the end"},
      {"the FILES section's offset past the end", [&](auto& b) { put16(b, 68, 0xFFF0); }, "FILES section runs past"},
      {"a string without its NUL", [&](auto& b) { b[at32(60) + 4 + 5] = 'x'; }, "string 1 has no terminating NUL"},
      {"two strings with one ID", [&](auto& b) { put16(b, at32(60) + 10, 1); }, "two entries of the STRINGS section"},
      {"a directory naming a string that is not there", [&](auto& b) { put16(b, at32(64) + 4, 99); },
       "directory 1 names string 99"},
      {"a file in a directory that is not there", [&](auto& b) { put16(b, at32(68) + 2, 7); },
       "goes to directory 7"},
      {"a value of a key that is not there", [&](auto& b) { put16(b, at32(76) + 2, 9); }, "belongs to key 9"},
      {"a registry root past HKU", [&](auto& b) { put16(b, at32(72) + 2, 5); }, "has root 5"},
      {"a DWORD of five bytes",
       [](auto& b) {
         InstallScript s = everySection();
         s.keys[1].data.push_back(0);
         b = writeInstallScript(s);
       },
       "registry value 2 is a DWORD of 5 bytes"},
      {"the application name outside the file", [&](auto& b) { put16(b, 84, 0xFFF0); }, "APPNAME section runs past"},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> bytes = good;
    c.apply(bytes);
    try {
      readInstallScript(bytes);
      ADD_FAILURE() << "accepted: " << c.damage;
    } catch (const FormatError& e) {
      EXPECT_NE(std::string::npos, std::string(e.what()).find(c.expected)) << c.damage << " -> " << e.what();
    }
  }
}

TEST(InstallScript, FoldersAndMemberNamesAsCabWizardMakesThem) {
  const struct {
    const char* folder;
    const char* path;  // empty: refused
  } folders[] = {
      {"%ce1%\\Crestune", "\\Program Files\\Crestune"},
      {"%InstallDir%\\Data", "\\Program Files\\Crestune\\Data"},
      {"%CE17%", "\\Windows\\Start Menu"},
      {"%CE99%", ""},
      {"Windows", ""},  // not on the device
  };
  for (const auto& f : folders) {
    if (*f.path) {
      EXPECT_EQ(f.path, devicePath(f.folder, "%CE1%\\Crestune")) << f.folder;
    } else {
      EXPECT_THROW(devicePath(f.folder, "%CE1%\\Crestune"), FormatError) << f.folder;
    }
  }
  std::map<std::string, int> used;
  EXPECT_EQ("CRESTUNE.000", memberName("Crestune", 0, used));
  EXPECT_EQ("CRESTI~1.001", memberName("crestitem.dll", 1, used));
  EXPECT_EQ("CRESTI~2.002", memberName("crestitem backup.dll", 2, used));
  EXPECT_EQ("000SETUP.999", memberName("setup.dll", 999, used));
  EXPECT_EQ("0WINGAME.003", memberName("Win Game.wav", 3, used));
}

const char* const kInf =
    "[Version]\nSignature=\"$Windows NT$\"\nProvider=\"P\"\nCESignature=\"$Windows CE$\"\n"
    "[CEStrings]\nAppName=\"A\"\nInstallDir=%CE1%\\%AppName%\n"
    "[SourceDisksNames]\n1=,\"d\",,.\n[SourceDisksFiles]\nx.dll=1\n"
    "[DestinationDirs]\nF=0,%CE2%\n[F]\nx.dll\n";

TEST(Inf, LineEndsCommentsAndQuotesReadAsCabWizardReadsThem) {
  std::string crlf;
  for (char c : std::string(kInf) + "[DefaultInstall]\nCopyFiles=F\nAddReg=R\n[R]\n"
                                    "HKLM, Software\\\"A B\" , \"N, M\" ,0x00000000, \"say \"\"hi\"\"\" ; comment\n")
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const Inf inf = readInf(crlf, "a.inf");
  EXPECT_EQ("%CE1%\\A", inf.package.installDir);
  ASSERT_EQ(1u, inf.package.files.size());
  EXPECT_EQ("x.dll", inf.package.files[0].name);
  ASSERT_EQ(1u, inf.package.values.size());
  EXPECT_EQ("Software\\A B", inf.package.values[0].key);
  EXPECT_EQ("N, M", inf.package.values[0].name);
  EXPECT_EQ(bytesOf(std::string("say \"hi\"") + '\0'), inf.package.values[0].data);
  EXPECT_FALSE(inf.package.values[0].substitute);
}

TEST(Inf, ALineCabWizardWouldRefuseNamesItself) {
  const struct {
    const char* lines;  // after kInf
    const char* expected;
  } cases[] = {
      {"[DefaultInstall]\nCopyFiles=G\n", "no [G] section"},
      {"[DefaultInstall]\nCopyFiles=F\n[F]\ny.dll\n", "y.dll is not in [SourceDisksFiles]"},
      {"[DefaultInstall]\nAddReg=R\n[R]\nHKXX,K,N,0,1\n", "HKXX is not HKCR, HKCU, HKLM or HKU"},
      {"[DefaultInstall]\nAddReg=R\n[R]\nHKLM,K,N,0x00010001,4294967296\n", "is a DWORD without a number"},
      {"[DefaultInstall]\nAddReg=R\n[R]\nHKLM,K,N,0x00010001,x\n", "is a DWORD without a number"},
      {"[DefaultInstall]\nAddReg=R\n[R]\nHKLM,K,N,0x00100000,x\n", "no registry type"},
      {"[DefaultInstall]\nAddReg=R\n[R]\nHKLM,K,%Nope%,0,x\n", "%Nope% is in neither"},
      {"[DefaultInstall]\nAddReg=R\n[R]\nHKLM,K,\"N,0,x\n", "a quote without its closing quote"},
      {"[DefaultInstall]\nCEShortcuts=S\n", "shortcuts"},
      {"[CEDevice]\nVersionMin=three\n", "VersionMin is not a version"},
      {"[CEDevice]\nProcessorType=ARM\n", "ProcessorType is not a number"},
  };
  for (const auto& c : cases) {
    try {
      readInf(std::string(kInf) + c.lines, "a.inf");
      ADD_FAILURE() << "accepted: " << c.lines;
    } catch (const FormatError& e) {
      const std::string what = e.what();
      EXPECT_EQ(0u, what.find("a.inf:")) << what;
      EXPECT_NE(std::string::npos, what.find(c.expected)) << c.lines << " -> " << what;
    }
  }
  EXPECT_THROW(readInf("[Version]\nSignature=\"$Chicago$\"\n", "a.inf"), FormatError);
}

}  // namespace
}  // namespace cab
