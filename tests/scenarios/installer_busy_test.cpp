// Stand-in only (its CAB installer host).
// The installer while it runs: a second install or removal asked for from
// inside the first one's dialog is refused and the first goes on; a
// reinstall replaces the item's library file instead of rewriting it.
#include "fixture.h"

#include <sys/stat.h>

#include <filesystem>

#include "installer.h"

namespace crestune::testing {
namespace {

using wince::ObjectKind;

class InstallerBusy : public StrictDeviceTest {
 protected:
  Installer installer;
};

TEST_F(InstallerBusy, ASecondInstallOrRemovalFromInsideTheLanguageDialogIsRefusedAndTheFirstGoesOn) {
  struct Case {
    const char* asked;
    InstallResult (Installer::*run)();
    const char* message;
  };
  const Case cases[] = {
      {"install", &Installer::install,
       "cannot install Crestune: the installer is already installing Crestune (one installation or removal at a "
       "time)"},
      {"uninstall", &Installer::uninstall,
       "cannot remove Crestune: the installer is already installing Crestune (one installation or removal at a "
       "time)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.asked);
    InstallResult outer, inner;
    whileOpen([&] { return (outer = installer.install()), INT_PTR{0}; },
              {[&] {
                 inner = (Installer().*c.run)();
                 EXPECT_TRUE(openDialogWindow()) << "the first one's dialog is still open";
               },
               [&] { queueTapOnControl(IDOK); }});
    EXPECT_TRUE(inner.refused);
    EXPECT_FALSE(inner.completed);
    EXPECT_FALSE(inner.cancelled);
    EXPECT_EQ(c.message, inner.message);
    EXPECT_TRUE(outer.completed) << outer.message;
    EXPECT_EQ(0, device().accounting().live(ObjectKind::Module)) << "the setup library was loaded once and freed";
    // Idle again, the installer takes the next request.
    InstallResult removed = installer.uninstall();
    EXPECT_TRUE(removed.completed) << removed.message;
  }
}

// A reinstall puts a new file in the library's place instead of rewriting
// the one a running Today item may still have loaded.
TEST_F(InstallerBusy, AReinstallReplacesTheItemsLibraryFileRatherThanRewritingIt) {
  auto inode = [&] {
    struct stat st {};
    EXPECT_EQ(0, stat(device().hostPath(u"\\Windows\\crestitem.dll").c_str(), &st));
    return st.st_ino;
  };
  auto install = [&] {
    InstallResult r;
    whileOpen([&] { return (r = installer.install()), INT_PTR{0}; }, {[&] { queueTapOnControl(IDOK); }});
    ASSERT_TRUE(r.completed) << r.message;
  };
  install();
  const ino_t first = inode();
  install();
  EXPECT_NE(first, inode());
  EXPECT_FALSE(std::filesystem::exists(device().hostPath(u"\\Windows\\crestitem.dll.partial")));
}

}  // namespace
}  // namespace crestune::testing
