#include "installer.h"
#include "words.h"

#include <ce_setup.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <sstream>

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
// when either fails. The copy is written beside the target and renamed over
// it: a library still loaded from the target keeps the file it was loaded
// from instead of having it rewritten under it.
void copyBuiltLibrary(const std::string& library, const fs::path& target) {
  fs::create_directories(target.parent_path());
  std::string stem = library.substr(0, library.rfind('.'));
  fs::path partial = target;
  partial += ".partial";
  fs::copy_file(wince::Device::current().options().romFolder / (stem + ".so"), partial,
                fs::copy_options::overwrite_existing);
  try {
    fs::rename(partial, target);
  } catch (const fs::filesystem_error&) {
    std::error_code ec;
    fs::remove(partial, ec);
    throw;
  }
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

InstallResult refusedWhileBusy(const std::string& asked) {
  InstallResult result;
  result.refused = true;
  result.message = "cannot " + asked + ": the installer is already " + g_busyWith +
                   " (one installation or removal at a time)";
  return result;
}

// A DWORD written in decimal or as 0x and hex digits; false for anything else
// or a number past 32 bits.
bool readDword(const std::string& text, DWORD& out) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  if (digits.empty() || digits.size() > (hex ? 8u : 10u)) return false;
  uint64_t v = 0;
  for (char c : digits) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    if (d < 0) return false;
    v = v * (hex ? 16 : 10) + static_cast<uint64_t>(d);
  }
  if (v > 0xFFFFFFFFu) return false;
  out = static_cast<DWORD>(v);
  return true;
}

// Well-formed UTF-8: no stray or missing continuation bytes, no overlong
// forms (which would hide a control character or a separator), no
// surrogates, nothing past U+10FFFF.
bool utf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    const int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || s.size() - i <= static_cast<size_t>(extra)) return false;
    uint32_t c = extra == 0 ? b : b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      const unsigned char n = static_cast<unsigned char>(s[i + k]);
      if ((n & 0xC0) != 0x80) return false;
      c = c << 6 | (n & 0x3F);
    }
    static const uint32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};
    if (c < kLeast[extra] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) return false;
    i += extra + 1;
  }
  return true;
}

// One name of a file or a key, as the installer makes both from it: printable,
// no separator, not "." or "..".
bool plainName(const std::string& s) {
  if (s.empty() || s.size() > 255 || s == "." || s == "..") return false;
  for (unsigned char c : s)
    if (c < 0x20 || c == 0x7F || c == '\\' || c == '/') return false;
  return true;
}

// An absolute device path ("\Windows\x.dll") whose host path stays inside
// the device's folder.
bool devicePath(const std::string& s) {
  if (s.size() < 2 || s[0] != '\\') return false;
  for (size_t start = 1; start <= s.size();) {
    size_t end = std::min(s.find('\\', start), s.size());
    if (!plainName(s.substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

// A library of the build, copied from its .so in the ROM folder.
bool libraryName(const std::string& s) {
  return plainName(s) && s.size() > 4 && s.compare(s.size() - 4, 4, ".dll") == 0;
}
}  // namespace

fs::path PackageManifest::defaultFile() {
  if (const char* env = std::getenv("CRESTUNE_MANIFEST")) return env;
  return fs::path(CRESTUNE_SOURCE_DIR) / "hosts" / "programs" / "package" / "crestune.manifest";
}

PackageManifest PackageManifest::read(const fs::path& file) {
  std::ifstream in(file);
  if (!in) throw wince::DeviceError("cannot read the package manifest " + file.string());
  std::ostringstream text;
  text << in.rdbuf();
  return parse(text.str(), file.string());
}

PackageManifest PackageManifest::parse(const std::string& text, const std::string& source) {
  std::istringstream in(text);
  PackageManifest m;
  int lineNo = 0;
  for (std::string line; std::getline(in, line);) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();  // a manifest saved with CRLF line ends
    auto bad = [&](const std::string& what) {
      return wince::DeviceError(source + ":" + std::to_string(lineNo) + ": " + what);
    };
    if (!utf8(line)) throw bad("expected UTF-8 text");
    std::vector<std::string> w;
    try {
      w = splitWords(line);
    } catch (const std::exception& e) {
      throw bad(e.what());
    }
    if (w.empty()) continue;
    auto need = [&](bool ok, const std::string& what, const std::string& found) {
      if (!ok) throw bad("expected " + what + ", found \"" + found + "\"");
    };
    const std::string kDevicePath = "a device path such as \\Windows\\x.dll";
    const std::string kLibrary = "a library of the build such as crestitem.dll";
    if (w[0] == "package" && w.size() == 3) {
      need(plainName(w[1]), "a package name without separators", w[1]);
      need(devicePath(w[2]), kDevicePath, w[2]);
      m.name = w[1];
      m.installFolder = wince::widen(w[2]);
    } else if (w[0] == "setup" && w.size() == 2) {
      need(libraryName(w[1]), kLibrary, w[1]);
      m.setupLibrary = w[1];
    } else if (w[0] == "file" && w.size() == 3) {
      need(libraryName(w[1]), kLibrary, w[1]);
      need(devicePath(w[2]), kDevicePath, w[2]);
      m.files.push_back({w[1], wince::widen(w[2])});
    } else if (w[0] == "reg" && w.size() == 5 && (w[3] == "sz" || w[3] == "dword")) {
      try {
        wince::RegistryStore::parseKeyPath(w[1]);
      } catch (const wince::DeviceError& e) {
        throw bad(e.what());
      }
      DWORD number;
      need(w[3] == "sz" || readDword(w[4], number), "a number of 32 bits, decimal or 0x hex", w[4]);
      m.values.push_back({w[1], w[2], w[3], w[4]});
    } else {
      throw bad("expected package, setup, file or reg, found \"" + line + "\"");
    }
  }
  if (m.name.empty() || m.setupLibrary.empty()) throw wince::DeviceError(source + ": no package or setup line");
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
  if (!g_busyWith.empty()) return refusedWhileBusy("install " + manifest_.name);
  Busy busy("installing " + manifest_.name);
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
        DWORD number = 0;
        if (v.type != "dword")
          reg.setValue(v.key, v.name, REG_SZ, wince::RegistryStore::stringBytes(v.data));
        else if (readDword(v.data, number))
          reg.setValue(v.key, v.name, REG_DWORD, wince::RegistryStore::dwordBytes(number));
        else
          ++failedValues;
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
  if (!g_busyWith.empty()) return refusedWhileBusy("remove " + manifest_.name);
  Busy busy("removing " + manifest_.name);
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
