// The ARM image loader: device libraries (Windows CE PE images for ARM)
// loaded through LoadLibraryW, their DllMain and exports run on the
// emulated processor; images that cannot load refused in one line.

#include <gtest/gtest.h>

#include <todaycmn.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "cpu/machine.h"
#include "cpu/procs.h"
#include "device.h"
#include "kernel/arm_image.h"
#include "standin/temp_folder.h"

namespace {

using namespace standin;  // TempDir, fs and the file helpers

uint32_t at32(const std::string& f, size_t i) {
  uint32_t v;
  std::memcpy(&v, &f[i], 4);
  return v;
}
void put32(std::string& f, size_t i, uint32_t v) { std::memcpy(&f[i], &v, 4); }
void put16(std::string& f, size_t i, uint16_t v) { std::memcpy(&f[i], &v, 2); }

// A tiny ARM image made here: headers, one code section at RVA 0x1000 and a
// base relocation section at 0x2000. Its code returns the word at its
// literal, which holds an absolute address in the image (base + 0x1000).
std::string tinyImage(uint32_t base, uint16_t relocationType) {
  std::string f(0x600, 0);
  f[0] = 'M', f[1] = 'Z';
  put32(f, 0x3C, 0x80);
  std::memcpy(&f[0x80], "PE\0\0", 4);
  put16(f, 0x84, 0x01C0);  // ARM
  put16(f, 0x86, 2);       // sections
  put16(f, 0x94, 224);     // optional header size
  put16(f, 0x96, 0x2102);  // executable, 32-bit, DLL
  const size_t o = 0x98;
  put16(f, o, 0x10B);
  put32(f, o + 16, 0x1000);  // entry
  put32(f, o + 28, base);
  put32(f, o + 32, 0x1000);  // section alignment
  put32(f, o + 36, 0x200);   // file alignment
  put32(f, o + 56, 0x3000);  // size of image
  put32(f, o + 60, 0x200);   // size of headers
  put32(f, o + 92, 16);
  put32(f, o + 96 + 8 * 5, 0x2000), put32(f, o + 100 + 8 * 5, 12);  // base relocations
  const size_t s = o + 224;
  std::memcpy(&f[s], ".text", 5);
  put32(f, s + 8, 0x10), put32(f, s + 12, 0x1000), put32(f, s + 16, 0x200), put32(f, s + 20, 0x200);
  put32(f, s + 36, 0x60000020);
  std::memcpy(&f[s + 40], ".reloc", 6);
  put32(f, s + 48, 12), put32(f, s + 52, 0x2000), put32(f, s + 56, 0x200), put32(f, s + 60, 0x400);
  put32(f, s + 76, 0x42000040);
  put32(f, 0x200, 0xE59F0000);  // ldr r0, [pc, #0]: the literal at +8
  put32(f, 0x204, 0xE1A0F00E);  // mov pc, lr
  put32(f, 0x208, base + 0x1000);
  put32(f, 0x400, 0x1000), put32(f, 0x404, 12);
  put16(f, 0x408, static_cast<uint16_t>(relocationType << 12 | 0x008)), put16(f, 0x40A, 0);
  return f;
}

class ArmImageLoad : public ::testing::Test {
 protected:
  TempDir rom;
};

TEST_F(ArmImageLoad, AnImageAwayFromItsBaseIsRelocatedAndItsEntryRuns) {
  // Two copies with one base: the second cannot have it and is relocated.
  writeFile(rom.path() / "one.dll", tinyImage(0x10000000, 3));
  writeFile(rom.path() / "two.dll", tinyImage(0x10000000, 3));
  wince::Device device(wince::DeviceOptions{.romFolder = rom.path()});
  std::string error;
  auto one = wince::ArmImage::load(rom.path() / "one.dll", error);
  ASSERT_TRUE(one) << error;
  auto two = wince::ArmImage::load(rom.path() / "two.dll", error);
  ASSERT_TRUE(two) << error;
  EXPECT_NE(one->base(), two->base());
  for (const wince::ArmImage* image : {one.get(), two.get()}) {
    // DllMain answers its own code's address: relocated with the image.
    uint32_t result = 0;
    std::string unused;
    auto machine = wince::cpu::Machine::shared(unused);
    machine->clearFault();
    ASSERT_TRUE(machine->call(image->base() + 0x1000, nullptr, 0, result)) << machine->faultReport();
    EXPECT_EQ(result, image->base() + 0x1000);
  }
}

TEST_F(ArmImageLoad, ImagesThatCannotLoadAreRefusedInOneLine) {
  struct Row {
    const char* what;
    std::string bytes;
    const char* expected;
  } rows[] = {
      {"unknown relocation", tinyImage(0x12340000, 7), "base relocation of type 7 the device does not apply"},
      {"not ARM", [] { auto f = tinyImage(0x10000000, 3); put16(f, 0x84, 0x014C); return f; }(),
       "machine 0x14c is not ARM"},
      {"cut short", [] { auto f = tinyImage(0x10000000, 3); f.resize(0x190); return f; }(), "not a valid ARM image (headers larger than the image)"},
      {"PE32+", [] { auto f = tinyImage(0x10000000, 3); put16(f, 0x98, 0x20B); return f; }(), "not PE32"},
  };
  // Something holds the preferred base, so the first row must relocate.
  writeFile(rom.path() / "holder.dll", tinyImage(0x12340000, 3));
  std::string error;
  auto holder = wince::ArmImage::load(rom.path() / "holder.dll", error);
  ASSERT_TRUE(holder) << error;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    writeFile(rom.path() / "bad.dll", row.bytes);
    error.clear();
    EXPECT_FALSE(wince::ArmImage::load(rom.path() / "bad.dll", error));
    EXPECT_NE(error.find(row.expected), std::string::npos) << error;
    EXPECT_EQ(error.rfind("bad.dll: ", 0), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

// The device build itself, when it is at hand (CRESTUNE_DEVICE_DIR: the
// folder tools/device-build.sh wrote; by default <build>/device).
class DeviceBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* dir = std::getenv("CRESTUNE_DEVICE_DIR");
    if (!dir) dir = CRESTUNE_DEVICE_DIR_DEFAULT;
    if ( !fs::exists(fs::path(dir) / "crestitem.dll")) GTEST_SKIP() << "no device build (CRESTUNE_DEVICE_DIR)";
    for (const char* dll : {"crestitem.dll", "setup.dll"}) fs::copy_file(fs::path(dir) / dll, rom.path() / dll);
  }
  TempDir rom;
};

TEST_F(DeviceBuild, TheItemLibraryAttachesExportsItsEntriesAndDetaches) {
  wince::Device device(wince::DeviceOptions{.romFolder = rom.path()});
  HMODULE item = LoadLibraryW(u"crestitem.dll");
  ASSERT_NE(item, nullptr) << (device.takeProblems().empty() ? "" : "refused");
  EXPECT_NE(GetProcAddress(item, MAKEINTRESOURCEA(ORDINAL_INITIALIZEITEM)), nullptr);
  EXPECT_NE(GetProcAddress(item, MAKEINTRESOURCEA(ORDINAL_OPTIONSDIALOGPROC)), nullptr);
  EXPECT_EQ(GetProcAddress(item, MAKEINTRESOURCEA(242)), nullptr);
  EXPECT_NE(FindResourceW(item, MAKEINTRESOURCEW(500), MAKEINTRESOURCEW(5)), nullptr) << "the options dialog";
  HMODULE setup = LoadLibraryW(u"setup.dll");
  ASSERT_NE(setup, nullptr);
  for (const char* hook : {"Install_Init", "Install_Exit", "Uninstall_Init", "Uninstall_Exit"})
    EXPECT_NE(GetProcAddress(setup, hook), nullptr) << hook;
  EXPECT_TRUE(FreeLibrary(setup));
  EXPECT_TRUE(FreeLibrary(item));
  EXPECT_FALSE(device.guestFault().has_value()) << device.guestFault()->report;
  EXPECT_EQ(device.accounting().live(wince::ObjectKind::Module), 0);
}

TEST_F(DeviceBuild, ALibraryImportingWhatTheDeviceLacksIsRefusedNamingIt) {
  // The import of RegCloseKey (COREDLL 455) becomes ordinal 9999, in the
  // lookup table and the address table alike.
  std::string f = readFile(rom.path() / "crestitem.dll");
  bool doctored = false;
  for (size_t i = 0x200; i + 4 <= f.size(); i += 4)
    if (at32(f, i) == (0x80000000u | 455)) put32(f, i, 0x80000000u | 9999), doctored = true;
  ASSERT_TRUE(doctored);
  writeFile(rom.path() / "crestitem.dll", f);
  wince::Device device(wince::DeviceOptions{.romFolder = rom.path()});
  EXPECT_EQ(LoadLibraryW(u"crestitem.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_FORMAT));
  const auto problems = device.takeProblems();
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0], "crestitem.dll: imports COREDLL.dll ordinal 9999 (unknown), which the device does not have");
  EXPECT_EQ(device.accounting().live(wince::ObjectKind::Module), 0);
}

// Damage the fuzzer found, each refused in one line: an export count that
// wrapped when multiplied, and a library name with a line break in it.
TEST_F(DeviceBuild, DamagedTablesOfTheRealLibraryAreRefusedInOneLine) {
  const std::string whole = readFile(rom.path() / "crestitem.dll");
  auto fileOffset = [&](uint32_t rva) -> size_t {
    const size_t pe = at32(whole, 0x3C), sections = pe + 24 + (at32(whole, pe + 20) & 0xFFFF);
    for (size_t i = 0; i < (at32(whole, pe + 4) >> 16); ++i) {
      const size_t sh = sections + 40 * i;
      if (rva >= at32(whole, sh + 12) && rva < at32(whole, sh + 12) + at32(whole, sh + 16))
        return at32(whole, sh + 20) + (rva - at32(whole, sh + 12));
    }
    return 0;
  };
  const size_t exports = fileOffset(at32(whole, at32(whole, 0x3C) + 24 + 96));
  ASSERT_GT(exports, 0u);
  const struct {
    const char* damage;
    std::function<void(std::string&)> change;
    std::string expected;
  } rows[] = {
      {"2^30 + 1 exports", [&](auto& f) { put32(f, exports + 20, 0x40000001); }, "crestitem.dll: damaged export table"},
      {"a line break in COREDLL's name",
       [](auto& f) {
         const std::string name = "COREDLL.dll";
         auto it = std::search(f.begin(), f.end(), name.begin(), name.end());
         ASSERT_NE(it, f.end());
         *it = '\n';
       },
       "crestitem.dll: imports \\x0aOREDLL.dll ordinal "},
      {"a line break in a function imported by name",
       [&](auto& f) {
         // The first import becomes one by name, the name being COREDLL's own
         // from its third letter on, with a line break in both.
         const size_t imports = fileOffset(at32(whole, at32(whole, 0x3C) + 24 + 104));
         const uint32_t nameRva = at32(f, imports + 12);
         f[fileOffset(nameRva) + 4] = '\n';
         put32(f, fileOffset(at32(f, imports)), nameRva);
         put32(f, fileOffset(at32(f, imports + 16)), nameRva);
       },
       "crestitem.dll: imports CORE\\x0aLL.dll \"RE\\x0aLL.dll\" (RE\\x0aLL.dll), which the device does not have"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.damage);
    std::string f = whole;
    row.change(f);
    writeFile(rom.path() / "crestitem.dll", f);
    std::string error;
    EXPECT_FALSE(wince::ArmImage::load(rom.path() / "crestitem.dll", error));
    EXPECT_EQ(error.rfind(row.expected, 0), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
}

HWND makeShell() {
  WNDCLASSW shell{};
  shell.lpfnWndProc = DefWindowProcW;
  shell.lpszClassName = u"TestToday";
  RegisterClassW(&shell);
  return CreateWindowExW(0, u"TestToday", u"", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr, nullptr);
}

HWND createItem(HMODULE item, HWND parent, TODAYLISTITEM& record) {
  auto create = reinterpret_cast<HWND (*)(TODAYLISTITEM*, HWND)>(
      reinterpret_cast<void (*)()>(GetProcAddress(item, MAKEINTRESOURCEA(ORDINAL_INITIALIZEITEM))));
  record.fEnabled = TRUE;
  return create ? create(&record, parent) : nullptr;
}

// The item library loaded and unloaded more often than there are
// trampolines, every other time away from its base (another library holds
// it), in one device's life: each time its ARM code makes its window,
// which paints and answers the shell, its calls are in the trace, and
// nothing is left over.
TEST_F(DeviceBuild, TheItemLoadsAndUnloadsMoreOftenThanThereAreTrampolines) {
  writeFile(rom.path() / "holder.dll", tinyImage(0x10000000, 3));
  wince::Device device(wince::DeviceOptions{.romFolder = rom.path()});
  device.trace().enable(true);
  HWND parent = makeShell();
  ASSERT_NE(parent, nullptr);
  const int before = wince::cpu::procsInUse();
  for (int i = 0; i < wince::cpu::kProcPoolSize + 8; ++i) {
    SCOPED_TRACE(i);
    std::string error;
    auto holder = i % 2 ? wince::ArmImage::load(rom.path() / "holder.dll", error) : nullptr;
    HMODULE item = LoadLibraryW(u"crestitem.dll");
    ASSERT_NE(item, nullptr);
    TODAYLISTITEM record{};
    HWND window = createItem(item, parent, record);
    ASSERT_NE(window, nullptr) << (device.guestFault() ? device.guestFault()->report : "");
    EXPECT_EQ(GetParent(window), parent);
    // The shell's refresh query: the item answers its height through the record.
    SendMessageW(window, WM_TODAYCUSTOM_QUERYREFRESHCACHE, 0, reinterpret_cast<LPARAM>(&record));
    EXPECT_EQ(record.cyp, 20u) << "no player window: the title line's height";
    UpdateWindow(window);
    DestroyWindow(window);
    EXPECT_TRUE(FreeLibrary(item));
  }
  EXPECT_FALSE(device.guestFault().has_value()) << device.guestFault()->report;
  EXPECT_EQ(wince::cpu::procsInUse(), before);
  DestroyWindow(parent);
  UnregisterClassW(u"TestToday", nullptr);
  for (auto kind : {wince::ObjectKind::Module, wince::ObjectKind::Window, wince::ObjectKind::Class,
                    wince::ObjectKind::Heap, wince::ObjectKind::GdiObject, wince::ObjectKind::Icon})
    EXPECT_EQ(device.accounting().live(kind), 0) << wince::objectKindName(kind);
  bool registered = false;
  for (const auto& e : device.trace().entries()) registered |= e.name == "RegisterClassW";
  EXPECT_TRUE(registered) << "the guest's calls are in the trace";
}

// An item window left alive when its library is freed keeps its class,
// whose procedure is the library's: the library's guest memory stays, as a
// host library stays mapped, and the class's trampoline is never bound to
// another procedure under it. Once the window and its class are gone, the
// next load or free unmaps the library and the trampolines serve again.
TEST_F(DeviceBuild, AClassThatOutlivesItsLibraryKeepsItsCodeAndTrampoline) {
  wince::Device device(wince::DeviceOptions{.romFolder = rom.path()});
  HWND parent = makeShell();
  HMODULE item = LoadLibraryW(u"crestitem.dll");
  ASSERT_NE(item, nullptr);
  TODAYLISTITEM record{};
  HWND window = createItem(item, parent, record);
  ASSERT_NE(window, nullptr);
  device.input().push(wince::InputEvent{wince::InputEvent::Kind::AnswerBox, {}, 0, IDOK, {}});
  EXPECT_TRUE(FreeLibrary(item));  // its detach cannot unregister the class of a live window
  const int held = wince::cpu::procsInUse();
  EXPECT_GT(held, 0) << "the class's trampoline is held";
  auto bind = [](int n) {
    for (int i = 0; i < n; ++i)
      EXPECT_NE(wince::cpu::hostProc(0x30001000 + 4 * i, {wince::cpu::ProcKind::Window}), nullptr) << i;
  };
  bind(wince::cpu::kProcPoolSize - held);
  EXPECT_EQ(wince::cpu::hostProc(0x30000FFC, {wince::cpu::ProcKind::Window}), nullptr) << "every other one taken";
  record.cyp = 0;
  SendMessageW(window, WM_TODAYCUSTOM_QUERYREFRESHCACHE, 0, reinterpret_cast<LPARAM>(&record));
  EXPECT_EQ(record.cyp, 20u) << "the window's own code answers";
  EXPECT_FALSE(device.guestFault().has_value()) << device.guestFault()->report;
  wince::cpu::releaseProcs(0x30000000, 0x10000, "none.dll");
  DestroyWindow(window);
  EXPECT_TRUE(UnregisterClassW(u"_WMPCrestuneClass", reinterpret_cast<HINSTANCE>(item)));
  DestroyWindow(parent);
  UnregisterClassW(u"TestToday", nullptr);
  HMODULE again = LoadLibraryW(u"crestitem.dll");
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(FreeLibrary(again));
  EXPECT_EQ(wince::cpu::procsInUse(), 0);
  EXPECT_EQ(device.accounting().live(wince::ObjectKind::Module), 0);
  EXPECT_FALSE(device.guestFault().has_value()) << device.guestFault()->report;
}

}  // namespace
