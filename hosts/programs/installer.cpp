#include "installer.h"
#include "words.h"

#include <ce_setup.h>

#include <fstream>

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

std::string appsKey(const std::string& name) { return "HKLM\\Software\\Apps\\" + name; }

// Copies a library of the build (<romFolder>/<stem>.so for "stem.dll") to a
// host path, making its folder first. Throws std::filesystem::filesystem_error
// when either fails.
void copyBuiltLibrary(const std::string& library, const fs::path& target) {
  fs::create_directories(target.parent_path());
  std::string stem = library.substr(0, library.rfind('.'));
  fs::copy_file(wince::Device::current().options().romFolder / (stem + ".so"), target,
                fs::copy_options::overwrite_existing);
}
}  // namespace

fs::path PackageManifest::defaultFile() {
  if (const char* env = std::getenv("CRESTUNE_MANIFEST")) return env;
  return fs::path(CRESTUNE_SOURCE_DIR) / "hosts" / "programs" / "package" / "crestune.manifest";
}

PackageManifest PackageManifest::read(const fs::path& file) {
  std::ifstream in(file);
  if (!in) throw wince::DeviceError("cannot read the package manifest " + file.string());
  PackageManifest m;
  int lineNo = 0;
  for (std::string line; std::getline(in, line);) {
    ++lineNo;
    auto bad = [&](const std::string& what) {
      return wince::DeviceError(file.string() + ":" + std::to_string(lineNo) + ": " + what);
    };
    std::vector<std::string> w;
    try {
      w = splitWords(line);
    } catch (const std::exception& e) {
      throw bad(e.what());
    }
    if (w.empty()) continue;
    if (w[0] == "package" && w.size() == 3) {
      m.name = w[1];
      m.installFolder = wince::widen(w[2]);
    } else if (w[0] == "setup" && w.size() == 2) {
      m.setupLibrary = w[1];
    } else if (w[0] == "file" && w.size() == 3) {
      m.files.push_back({w[1], wince::widen(w[2])});
    } else if (w[0] == "reg" && w.size() == 5 && (w[3] == "sz" || w[3] == "dword")) {
      m.values.push_back({w[1], w[2], w[3], w[4]});
    } else {
      throw bad("expected package, setup, file or reg, found \"" + line + "\"");
    }
  }
  if (m.name.empty() || m.setupLibrary.empty()) throw wince::DeviceError(file.string() + ": no package or setup line");
  return m;
}

Installer::Installer(PackageManifest manifest) : manifest_(std::move(manifest)) {}

bool Installer::installed() const {
  return wince::Device::current().registry().keyExists(appsKey(manifest_.name));
}

// The installer keeps the setup library for the removal, as the device does.
std::u16string Installer::setupCopy() const { return u"\\Windows\\" + wince::widen(manifest_.name) + u".dll"; }

// Copies the setup library of the build to its device path and loads it from there.
HMODULE Installer::loadSetup() {
  copyBuiltLibrary(manifest_.setupLibrary, wince::Device::current().hostPath(setupCopy()));
  return LoadLibraryW(setupCopy().c_str());
}

InstallResult Installer::install() {
  wince::Device& d = wince::Device::current();
  auto& reg = d.registry();
  InstallResult result;
  bool previously = installed();
  HWND window = openWindow(u"Installing " + wince::widen(manifest_.name) + u"...");
  HMODULE setup = loadSetup();
  auto initHook = setup ? reinterpret_cast<pfnINSTALL_INIT>(reinterpret_cast<void (*)()>(GetProcAddress(setup, "Install_Init"))) : nullptr;
  auto exitHook = setup ? reinterpret_cast<pfnINSTALL_EXIT>(reinterpret_cast<void (*)()>(GetProcAddress(setup, "Install_Exit"))) : nullptr;
  if (!initHook || !exitHook) {
    result.message = "the package's setup library cannot be loaded";
  } else if (initHook(window, TRUE, previously, manifest_.installFolder.c_str()) != codeINSTALL_INIT_CONTINUE) {
    result.cancelled = true;
    result.message = "Installation of " + manifest_.name + " was cancelled by its setup.";
  } else {
    WORD failedFiles = 0, failedKeys = 0, failedValues = 0;
    for (const auto& f : manifest_.files) {
      fs::path target = d.hostPath(f.target);
      try {
        copyBuiltLibrary(f.library, target);
      } catch (const fs::filesystem_error&) {
        ++failedFiles;
      }
    }
    for (const auto& v : manifest_.values) {
      try {
        if (v.type == "dword")
          reg.setValue(v.key, v.name, REG_DWORD, wince::RegistryStore::dwordBytes(static_cast<DWORD>(std::stoul(v.data, nullptr, 0))));
        else
          reg.setValue(v.key, v.name, REG_SZ, wince::RegistryStore::stringBytes(v.data));
      } catch (const std::exception&) {
        ++failedValues;
      }
    }
    reg.setValue(appsKey(manifest_.name), "Instl", REG_DWORD, wince::RegistryStore::dwordBytes(1));
    reg.setValue(appsKey(manifest_.name), "InstlDir", REG_SZ,
                 wince::RegistryStore::stringBytes(wince::narrow(manifest_.installFolder)));
    exitHook(window, manifest_.installFolder.c_str(), 0, failedFiles, failedKeys, failedValues, 0);
    result.completed = true;
    result.message = manifest_.name + " was installed on the device.";
  }
  if (setup) FreeLibrary(setup);
  if (!result.completed) std::filesystem::remove(d.hostPath(setupCopy()));
  closeWindow(window);
  return result;
}

InstallResult Installer::uninstall() {
  wince::Device& d = wince::Device::current();
  auto& reg = d.registry();
  InstallResult result;
  if (!installed()) {
    result.message = manifest_.name + " is not installed on the device.";
    return result;
  }
  HWND window = openWindow(u"Removing " + wince::widen(manifest_.name) + u"...");
  HMODULE setup = LoadLibraryW(setupCopy().c_str());
  auto initHook = setup ? reinterpret_cast<pfnUNINSTALL_INIT>(reinterpret_cast<void (*)()>(GetProcAddress(setup, "Uninstall_Init"))) : nullptr;
  auto exitHook = setup ? reinterpret_cast<pfnUNINSTALL_EXIT>(reinterpret_cast<void (*)()>(GetProcAddress(setup, "Uninstall_Exit"))) : nullptr;
  if (!initHook || !exitHook) {
    result.message = "the package's setup library cannot be loaded";
  } else if (initHook(window, manifest_.installFolder.c_str()) != codeUNINSTALL_INIT_CONTINUE) {
    result.cancelled = true;
    result.message = "Removal of " + manifest_.name + " was cancelled by its setup.";
  } else {
    for (const auto& f : manifest_.files) {
      std::error_code ec;
      fs::remove(d.hostPath(f.target), ec);
    }
    for (const auto& v : manifest_.values) reg.deleteValue(v.key, v.name);
    for (const auto& v : manifest_.values)
      if (reg.keyExists(v.key) && reg.subkeys(v.key).empty() && !reg.getValue(v.key, "") ) reg.deleteKey(v.key);
    reg.deleteKey(appsKey(manifest_.name));
    exitHook(window);
    result.completed = true;
    result.message = manifest_.name + " was removed from the device.";
  }
  if (setup) FreeLibrary(setup);
  if (result.completed) fs::remove(d.hostPath(setupCopy()));
  closeWindow(window);
  return result;
}

}  // namespace crestune
