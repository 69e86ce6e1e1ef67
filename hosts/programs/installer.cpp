#include "installer.h"

#include <ce_setup.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <optional>

#include "device.h"
#include "device_error.h"
#include "registry_store.h"
#include "today.h"
#include "window_manager.h"

namespace crestune {

namespace fs = std::filesystem;

namespace {
constexpr const char16_t* kWindowClass = u"CabInstaller";

// The installer's own window: where its progress shows, and the owner the
// setup library's boxes belong to.
LRESULT CALLBACK installerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT c;
    GetClientRect(hwnd, &c);
    FillRect(hdc, &c, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    char16_t text[256];
    GetWindowTextW(hwnd, text, 256);
    RECT r{10, 20, c.right - 10, 60};
    SetBkMode(hdc, TRANSPARENT);
    DrawTextW(hdc, text, -1, &r, DT_LEFT | DT_WORDBREAK);
    EndPaint(hwnd, &ps);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// The installer's window, below the navigation bar, saying what it does.
HWND openWindow(const std::u16string& title) {
  const wince::Screen& screen = wince::Device::current().screen();
  WNDCLASSW wc{};
  wc.lpfnWndProc = installerProc;
  wc.lpszClassName = kWindowClass;
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, kWindowClass, title.c_str(), WS_POPUP | WS_VISIBLE, 0, TodayShell::kNavBarHeight,
                                screen.width, screen.height - TodayShell::kNavBarHeight, nullptr, nullptr, nullptr,
                                nullptr);
  UpdateWindow(window);
  return window;
}

void closeWindow(HWND window) {
  DestroyWindow(window);
  UnregisterClassW(kWindowClass, nullptr);
  wince::Device::current().windows().runUntilIdle();
}

std::string appsKey(const std::string& fullName) { return "HKLM\\Software\\Apps\\" + fullName; }

// Writes bytes to a host path, making its folder first. Throws
// std::filesystem::filesystem_error when either fails. The file is written
// beside the target and renamed over it: a library still loaded from the
// target keeps the file it was loaded from instead of having it rewritten
// under it.
void writeFile(const fs::path& target, const std::vector<uint8_t>& bytes) {
  fs::create_directories(target.parent_path());
  fs::path partial = target;
  partial += ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw fs::filesystem_error("cannot write", partial, std::make_error_code(std::errc::io_error));
  }
  try {
    fs::rename(partial, target);
  } catch (const fs::filesystem_error&) {
    std::error_code ec;
    fs::remove(partial, ec);
    throw;
  }
}

// The removal record the installer keeps of a package: its install script.
std::u16string recordPath(const std::string& fullName) { return u"\\Windows\\AppMgr\\" + wince::widen(fullName) + u".000"; }

// The installer keeps the setup library for the removal, as the device does.
std::u16string setupCopy(const std::string& appName) { return u"\\Windows\\" + wince::widen(appName) + u".dll"; }

template <class Hook>
Hook hook(HMODULE library, const char* name) {
  return library ? reinterpret_cast<Hook>(reinterpret_cast<void (*)()>(GetProcAddress(library, name))) : nullptr;
}

// What the device's one installer is doing now ("installing Crestune"),
// empty while it is idle. An install or removal asked for meanwhile (from
// inside the first one's dialog) is refused: it would replace the setup
// library the first one is running.
std::string g_busyWith;

class Busy {
 public:
  explicit Busy(std::string what) { g_busyWith = std::move(what); }
  ~Busy() { g_busyWith.clear(); }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;
};

InstallResult refusal(std::string message) {
  InstallResult result;
  result.refused = true;
  result.message = std::move(message);
  return result;
}

InstallResult refusedWhileBusy(const std::string& asked) {
  return refusal("cannot " + asked + ": the installer is already " + g_busyWith +
                 " (one installation or removal at a time)");
}

// Reads and checks the whole CAB into `cab`; a CAB that cannot be taken
// gives the refusal that says why.
std::optional<InstallResult> refusedCab(const fs::path& file, CheckedCab& cab) {
  try {
    cab = checkCab(file);
  } catch (const wince::DeviceError& e) {
    return refusal(e.what());
  }
  return std::nullopt;
}

}  // namespace

fs::path Installer::defaultCab() {
  // The package of the build the device runs: the device build's (ARM) or
  // the host build's own.
  const wince::DeviceOptions& o = wince::Device::current().options();
  return o.romFolder / (o.deviceBuild.empty() ? "Crestune.CAB" : "Crestune.ARM.CAB");
}

Installer::Installer(fs::path cab) : cab_(std::move(cab)) {}

fs::path Installer::file() const { return cab_.empty() ? defaultCab() : cab_; }

bool Installer::installed() const {
  try {
    return wince::Device::current().registry().keyExists(appsKey(checkCab(file()).fullName));
  } catch (const wince::DeviceError&) {
    return false;
  }
}

// The whole CAB is read and checked before anything is written: a CAB that
// is damaged or not for this device is refused and the device stays as it was.
InstallResult Installer::install() {
  CheckedCab pkg;
  if (auto refused = refusedCab(file(), pkg)) return *refused;
  if (!g_busyWith.empty()) return refusedWhileBusy("install " + pkg.appName);
  Busy busy("installing " + pkg.appName);
  wince::Device& d = wince::Device::current();
  auto& reg = d.registry();
  InstallResult result;
  const bool previously = reg.keyExists(appsKey(pkg.fullName));
  HWND window = openWindow(u"Installing " + wince::widen(pkg.appName) + u"...");
  // The setup library is taken out of the CAB first and loaded from where
  // it is kept for the removal.
  HMODULE setup = nullptr;
  if (!pkg.setup.empty()) {
    writeFile(d.hostPath(setupCopy(pkg.appName)), pkg.setup);
    setup = LoadLibraryW(setupCopy(pkg.appName).c_str());
  }
  auto initHook = hook<pfnINSTALL_INIT>(setup, "Install_Init");
  auto exitHook = hook<pfnINSTALL_EXIT>(setup, "Install_Exit");
  if (!pkg.setup.empty() && (!initHook || !exitHook)) {
    result.message = "the package's setup library cannot be loaded";
  } else if (initHook && initHook(window, TRUE, previously, pkg.installDir.c_str()) != codeINSTALL_INIT_CONTINUE) {
    result.cancelled = true;
    result.message = "Installation of " + pkg.appName + " was cancelled by its setup.";
  } else {
    WORD failedDirs = 0, failedFiles = 0, failedValues = 0;
    std::error_code ec;
    fs::create_directories(d.hostPath(pkg.installDir), ec);
    if (ec) ++failedDirs;
    for (const auto& f : pkg.files) {
      try {
        writeFile(d.hostPath(f.target), f.bytes);
      } catch (const fs::filesystem_error&) {
        ++failedFiles;
      }
    }
    for (const auto& v : pkg.values) {
      try {
        if (!v.noClobber || !reg.getValue(v.key, v.name)) reg.setValue(v.key, v.name, v.type, v.bytes);
      } catch (const std::exception&) {
        ++failedValues;
      }
    }
    // Recorded as the device records it: the package's key under
    // HKLM\Software\Apps and its install script, for the removal.
    reg.setValue(appsKey(pkg.fullName), "Instl", REG_DWORD, wince::RegistryStore::dwordBytes(1));
    reg.setValue(appsKey(pkg.fullName), "InstlDir", REG_SZ, wince::RegistryStore::stringBytes(pkg.installDir));
    try {
      writeFile(d.hostPath(recordPath(pkg.fullName)), pkg.script);
    } catch (const fs::filesystem_error&) {
      ++failedFiles;
    }
    if (exitHook) exitHook(window, pkg.installDir.c_str(), failedDirs, failedFiles, 0, failedValues, 0);
    result.completed = true;
    result.message = pkg.appName + " was installed on the device.";
  }
  if (setup) FreeLibrary(setup);
  if (!result.completed) {
    std::error_code ec;
    fs::remove(d.hostPath(setupCopy(pkg.appName)), ec);
  }
  closeWindow(window);
  return result;
}

// The removal follows what the installation recorded; the CAB names the
// package.
InstallResult Installer::uninstall() {
  CheckedCab named;
  if (auto refused = refusedCab(file(), named)) return *refused;
  if (!g_busyWith.empty()) return refusedWhileBusy("remove " + named.appName);
  Busy busy("removing " + named.appName);
  wince::Device& d = wince::Device::current();
  auto& reg = d.registry();
  InstallResult result;
  if (!reg.keyExists(appsKey(named.fullName))) {
    result.message = named.appName + " is not installed on the device.";
    return result;
  }
  // What was installed: the recorded script, or the CAB's when the record is gone.
  CheckedCab pkg = named;
  const fs::path record = d.hostPath(recordPath(named.fullName));
  if (std::ifstream in{record, std::ios::binary}) {
    std::vector<uint8_t> script((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    try {
      pkg = checkScript(script, record.string());
    } catch (const wince::DeviceError&) {
    }
  }
  if (auto dir = reg.getValue(appsKey(named.fullName), "InstlDir"); dir && dir->type == REG_SZ)
    pkg.installDir = wince::RegistryStore::textOf(dir->bytes);
  HWND window = openWindow(u"Removing " + wince::widen(pkg.appName) + u"...");
  const bool hasSetup = !named.setup.empty() || fs::exists(d.hostPath(setupCopy(pkg.appName)));
  HMODULE setup = hasSetup ? LoadLibraryW(setupCopy(pkg.appName).c_str()) : nullptr;
  auto initHook = hook<pfnUNINSTALL_INIT>(setup, "Uninstall_Init");
  auto exitHook = hook<pfnUNINSTALL_EXIT>(setup, "Uninstall_Exit");
  if (hasSetup && (!initHook || !exitHook)) {
    result.message = "the package's setup library cannot be loaded";
  } else if (initHook && initHook(window, pkg.installDir.c_str()) != codeUNINSTALL_INIT_CONTINUE) {
    result.cancelled = true;
    result.message = "Removal of " + pkg.appName + " was cancelled by its setup.";
  } else {
    std::error_code ec;
    for (const auto& f : pkg.files) fs::remove(d.hostPath(f.target), ec);
    for (const auto& v : pkg.values) reg.deleteValue(v.key, v.name);
    // A key the package made and that is empty now goes with its values.
    for (const auto& v : pkg.values)
      if (reg.keyExists(v.key) && reg.subkeys(v.key).empty() && !reg.getValue(v.key, "")) reg.deleteKey(v.key);
    fs::remove(d.hostPath(pkg.installDir), ec);  // only when empty
    reg.deleteKey(appsKey(named.fullName));
    fs::remove(record, ec);
    if (exitHook) exitHook(window);
    result.completed = true;
    result.message = pkg.appName + " was removed from the device.";
  }
  if (setup) FreeLibrary(setup);
  if (result.completed) {
    std::error_code ec;
    fs::remove(d.hostPath(setupCopy(pkg.appName)), ec);
  }
  closeWindow(window);
  return result;
}

}  // namespace crestune
