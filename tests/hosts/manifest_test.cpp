// The package manifest's reader: what it accepts, and each line it refuses
// with the line and what was expected, so that the installer never writes
// outside the device, a key it cannot make or a number that does not fit.
#include <gtest/gtest.h>

#include <string>

#include "device_error.h"
#include "installer.h"

namespace crestune {
namespace {

const std::string kHead = "package Crestune \"\\Program Files\\Crestune\"\nsetup setup.dll\n";

TEST(Manifest, TheShippedManifestReads) {
  const PackageManifest m = PackageManifest::read(PackageManifest::defaultFile());
  EXPECT_EQ("Crestune", m.name);
  EXPECT_EQ(u"\\Program Files\\Crestune", m.installFolder);
  EXPECT_EQ("setup.dll", m.setupLibrary);
  ASSERT_EQ(1u, m.files.size());
  EXPECT_EQ(u"\\Windows\\crestitem.dll", m.files[0].target);
  EXPECT_EQ(5u, m.values.size());
}

TEST(Manifest, CrlfLineEndsLeaveNothingBehindTheLastWord) {
  const PackageManifest m = PackageManifest::parse(
      "package Crestune \"\\Program Files\\Crestune\"\r\nsetup setup.dll\r\n"
      "file crestitem.dll \\Windows\\crestitem.dll\r\nreg HKLM\\Software\\X DLL sz \"\\Windows\\x.dll\"\r\n",
      "m");
  EXPECT_EQ(u"\\Program Files\\Crestune", m.installFolder);
  EXPECT_EQ("setup.dll", m.setupLibrary);
  EXPECT_EQ(u"\\Windows\\crestitem.dll", m.files.at(0).target);
  EXPECT_EQ("\\Windows\\x.dll", m.values.at(0).data);
}

TEST(Manifest, DwordsAreDecimalOrHexWithinThirtyTwoBits) {
  for (const char* ok : {"0", "10", "4294967295", "0x0", "0xFFFFFFFF", "0Xa"}) {
    EXPECT_NO_THROW(PackageManifest::parse(kHead + "reg HKLM\\X N dword " + ok + "\n", "m")) << ok;
  }
}

TEST(Manifest, ARefusedLineNamesItselfAndWhatWasExpected) {
  struct Case {
    const char* line;
    const char* expected;  // part of the message
  } cases[] = {
      // Paths that would leave the device's folder, or are not device paths.
      {"file crestitem.dll \"\\Windows\\..\\..\\x.dll\"", "a device path"},
      {"file crestitem.dll \"\\.\\x.dll\"", "a device path"},
      {"file crestitem.dll Windows\\x.dll", "a device path"},
      {"file crestitem.dll \\Windows\\\\x.dll", "a device path"},
      {"file crestitem.dll \\Windows/..\\x.dll", "a device path"},
      {"file crestitem.dll \"\\Windows\\a\tb.dll\"", "a device path"},
      {"package Crestune \\", "a device path"},
      // Package and library names are single names.
      {"package ..\\..\\x \\Apps", "a package name"},
      {"package a/b \\Apps", "a package name"},
      {"setup ../setup.dll", "a library of the build"},
      {"setup setup.so", "a library of the build"},
      {"file .dll \\Windows\\x.dll", "a library of the build"},
      // Registry values the installer could not write.
      {"reg HKXX\\Software N sz x", "is not a registry root"},
      {"reg HKLM\\Software\\\\X N sz x", "is not a valid key path"},
      {"reg HKLM\\X N dword -1", "a number of 32 bits"},
      {"reg HKLM\\X N dword 4294967296", "a number of 32 bits"},
      {"reg HKLM\\X N dword 0x100000000", "a number of 32 bits"},
      {"reg HKLM\\X N dword \" 1\"", "a number of 32 bits"},
      {"reg HKLM\\X N dword 1x", "a number of 32 bits"},
      {"reg HKLM\\X N dword 0x", "a number of 32 bits"},
      // Text that is not UTF-8: an overlong form would hide a control character.
      {"file crestitem.dll \"\\Windows\\a\xC0\x8C.dll\"", "UTF-8"},
      {"file crestitem.dll \"\\Windows\\\xFF.dll\"", "UTF-8"},
      {"file crestitem.dll \"\\Windows\\\xED\xA0\x80.dll\"", "UTF-8"},
  };
  for (const Case& c : cases) {
    try {
      PackageManifest::parse(kHead + "\n" + c.line + "\n", "pkg.manifest");
      ADD_FAILURE() << "accepted: " << c.line;
    } catch (const wince::DeviceError& e) {
      const std::string what = e.what();
      EXPECT_EQ(0u, what.find("pkg.manifest:4: ")) << what;
      EXPECT_NE(std::string::npos, what.find(c.expected)) << c.line << " -> " << what;
    }
  }
}

}  // namespace
}  // namespace crestune
