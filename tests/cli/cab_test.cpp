// crestune install with a package manifest of its own (CRESTUNE_MANIFEST): a
// manifest saved with CRLF line ends installs what it says, and one that
// would write outside the device is refused before anything is written.
#include "cli_run.h"

namespace clitest {
namespace {

class ManifestTest : public CliTest {
 protected:
  void TearDown() override {
    unsetenv("CRESTUNE_MANIFEST");
    CliTest::TearDown();
  }
  void useManifest(const std::string& text) {
    writeFile(path("package.manifest"), text);
    setenv("CRESTUNE_MANIFEST", path("package.manifest").c_str(), 1);
  }
};

const char* const kTodayKey = "HKLM\\Software\\Microsoft\\Today\\Items\\WMP Crestune";

TEST_F(ManifestTest, CrlfLineEndsInstallTheNamesAsWritten) {
  useManifest(
      "package Crestune \"\\Program Files\\Crestune\"\r\n"
      "setup setup.dll\r\n"
      "file crestitem.dll \"\\Windows\\crestitem.dll\"\r\n"
      "reg \"HKLM\\Software\\Microsoft\\Today\\Items\\WMP Crestune\" DLL sz \"\\Windows\\crestitem.dll\"\r\n"
      "reg \"HKLM\\Software\\Microsoft\\Today\\Items\\WMP Crestune\" Order dword 10\r\n");
  Result install = crestune({"install", "--device", "D"});
  ASSERT_EQ(install.status, 0) << install.err;
  EXPECT_TRUE(fs::exists(path("D/Windows/crestitem.dll")));
  script("check.crest", std::string("reg check \"") + kTodayKey + "\" DLL sz \\Windows\\crestitem.dll\n" +
                            "reg check \"" + kTodayKey + "\" Order dword 10\n");
  Result check = crestune({"run", "check.crest", "--device", "D"});
  EXPECT_EQ(check.status, 0) << check.err;
}

TEST_F(ManifestTest, AManifestThatWouldLeaveTheDeviceIsRefused) {
  struct Case {
    const char* line;
    const char* escapee;  // what the line would write outside the device folder D/E
  } cases[] = {
      {"file crestitem.dll \"\\..\\..\\escaped.dll\"", "escaped.dll"},
      {"package ..\\..\\escaped \"\\Program Files\\Crestune\"", "D/escaped.dll"},
  };
  for (const Case& c : cases) {
    useManifest(std::string("package Crestune \"\\Program Files\\Crestune\"\nsetup setup.dll\n") + c.line + "\n");
    Result install = crestune({"install", "--device", "D/E"});
    EXPECT_NE(install.status, 0) << c.line;
    EXPECT_NE(install.err.find("package.manifest:3: "), std::string::npos) << install.err;
    EXPECT_FALSE(fs::exists(path(c.escapee))) << c.line;
    EXPECT_TRUE(fs::is_empty(path("D/E/Windows"))) << c.line;
  }
}

}  // namespace
}  // namespace clitest
