// The loader: LoadLibraryW, FreeLibrary and GetProcAddress over shared
// objects that carry a WinceExportTable (derived from their .def file).
#include "kernel/modules.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "device.h"
#include "device_folder.h"
#include "cpu/machine.h"
#include "device/trace.h"
#include "module_abi.h"
#include "cpu/procs.h"
#include "kernel/arm_image.h"
#include "kernel/resources.h"
#include "user/wm_impl.h"

namespace wince {

namespace {

using DllMainProc = BOOL (*)(HINSTANCE, DWORD, LPVOID);

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

namespace fs = std::filesystem;

// Where a library name led: the build's library to load, or why nothing is.
struct Resolved {
  fs::path file;        // a library of the build's library folder; empty: none
  DWORD error = ERROR_MOD_NOT_FOUND;
  std::string refusal;  // in words, when something was found and refused
};

Resolved refused(DWORD error, std::string why) { return Resolved{{}, error, std::move(why)}; }

bool regularFile(const fs::path& p) {
  std::error_code ec;
  return !p.empty() && fs::is_regular_file(p, ec);
}

// The build's own library of a file name: on a device that runs the device
// build, its ARM image of that name; else "x.dll" is the shared object "x.so"
// of the build's library folder (or a file of that very name there).
fs::path buildLibrary(const std::string& name) {
  const fs::path& arm = Device::current().options().deviceBuild;
  if (!arm.empty() && DeviceFolder::plainPath(widen(name)) && regularFile(arm / name) && ArmImage::isArmImage(arm / name))
    return arm / name;
  const fs::path& rom = Device::current().options().romFolder;
  if (rom.empty()) return {};
  std::string stem = name;
  if (lower(stem).size() > 4 && lower(stem).ends_with(".dll")) stem = stem.substr(0, stem.size() - 4);
  for (const std::string& candidate : {stem + ".so", name})
    if (regularFile(rom / candidate)) return rom / candidate;
  return {};
}

bool sameBytes(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  const auto size = fs::file_size(a, ec);
  if (ec || fs::file_size(b, ec) != size || ec) return false;
  std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
  char bx[16384], by[16384];
  while (x && y) {
    x.read(bx, sizeof bx);
    y.read(by, sizeof by);
    if (x.gcount() != y.gcount() || std::memcmp(bx, by, static_cast<size_t>(x.gcount())) != 0) return false;
  }
  return x.eof() && y.eof();
}

// The library of the build that a file holds byte for byte: the one of its
// own name first, then any other (the installer keeps a package's setup
// library under the package's name).
fs::path buildLibraryWithBytesOf(const fs::path& file) {
  if (fs::path same = buildLibrary(file.filename().string()); regularFile(same) && sameBytes(file, same)) return same;
  const fs::path& rom = Device::current().options().romFolder;
  std::error_code ec;
  std::vector<fs::path> libraries;
  for (fs::directory_iterator it(rom, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
    if (it->path().extension() == ".so" && regularFile(it->path())) libraries.push_back(it->path());
  std::sort(libraries.begin(), libraries.end());
  for (const fs::path& library : libraries)
    if (sameBytes(file, library)) return library;
  return {};
}

// A library file found in the device folder. The device folder is data:
// nothing in it is ever run as host code. A file that is one of the build's
// own libraries, byte for byte (a copy an installation put there), is that
// library: the build's file is loaded, so that one library is one module
// whichever name reached it. An image for the device's own processor (ARM
// PE) is run on the emulated CPU, never natively. Anything else is refused
// here, the one place that decides what a file of the device folder may be.
Resolved fromDeviceFolder(const fs::path& file, const std::u16string& devicePath) {
  if (fs::path library = buildLibraryWithBytesOf(file); !library.empty()) return Resolved{library, 0, {}};
  if (ArmImage::isArmImage(file)) return Resolved{file, 0, {}};
  return refused(ERROR_BAD_EXE_FORMAT, narrow(devicePath) +
                                           " is not a library of this build (a file of the device folder is not "
                                           "run as host code)");
}

constexpr const char* kNotADevicePath =
    " is not a path of the device (a device path has no \"..\" or \".\", drive, share or host path)";

// Where a library name leads on this device. A device path names a file in
// the device folder, or when there is none there, the library of its file
// name; a bare name is looked for in the device's \Windows folder, then
// among the build's libraries. A name that could lead out of the device
// folder is refused, as one that is not there.
Resolved resolve(const std::u16string& name) {
  Device& d = Device::current();
  std::u16string fileName = name;
  if (name.find_first_of(u"\\/") != std::u16string::npos) {
    if (!DeviceFolder::plainPath(name)) return refused(ERROR_MOD_NOT_FOUND, narrow(name) + kNotADevicePath);
    const fs::path p = d.hostPath(name);
    if (!d.options().folder.empty() && p.empty())
      return refused(ERROR_MOD_NOT_FOUND, narrow(name) + " leads out of the device folder through a link");
    if (regularFile(p)) return fromDeviceFolder(p, name);
    fileName = name.substr(name.find_last_of(u'\\') + 1);
  } else if (!DeviceFolder::plainPath(name)) {
    return refused(ERROR_MOD_NOT_FOUND, narrow(name) + kNotADevicePath);
  }
  const std::u16string inWindows = u"\\Windows\\" + fileName;
  if (const fs::path p = d.hostPath(inWindows); regularFile(p)) return fromDeviceFolder(p, inWindows);
  if (fs::path library = buildLibrary(narrow(fileName)); !library.empty()) return Resolved{library, 0, {}};
  return Resolved{};
}

}  // namespace

ModuleTable::~ModuleTable() {
  // Libraries still loaded when the device shuts down are detached in
  // reverse order of loading, as the system does at process exit.
  // Handles only grow, so the last entry of the table is the latest loaded.
  // Their DllMain learns it from a non-NULL lpReserved, as there.
  while (!modules_.empty()) unload(std::prev(modules_.end())->first, kProcessExit);
  // Every window is gone by now (the device destroys them first): what a
  // class still names can no longer be called.
  for (const Mapping& m : stillMapped_) dlclose(m.dl);
  armStillMapped_.clear();
}

const LoadedModule* ModuleTable::find(HMODULE handle) const {
  auto it = modules_.find(handle);
  return it == modules_.end() ? nullptr : &it->second;
}

bool ModuleTable::isProductAddress(const void* address) const {
  // A call that guest code makes through a thunk is a product library's call.
  if (cpu::isGuestCallSite(address)) return true;
  Dl_info info{};
  if (!dladdr(address, &info)) return false;
  for (const auto& [h, m] : modules_)
    if (m.base == info.dli_fbase) return true;
  return false;
}

HMODULE ModuleTable::load(const std::u16string& name) {
  Device& d = Device::current();
  closeUnused();
  Resolved found = resolve(name);
  lastRefusal_ = found.refusal;
  if (found.file.empty()) {
    d.lastError() = found.error;
    return nullptr;
  }
  std::filesystem::path file = std::filesystem::weakly_canonical(found.file);
  for (auto& [h, m] : modules_) {
    if (m.file == file) {
      ++m.references;
      return h;
    }
  }
  if (ArmImage::isArmImage(file)) return loadArm(file);
  void* dl = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!dl) {
    d.lastError() = ERROR_BAD_FORMAT;
    return nullptr;
  }
  LoadedModule m;
  m.dl = dl;
  m.file = file;
  m.name = widen(file.filename().string());
  m.references = 1;
  m.exports = static_cast<const WinceExport*>(dlsym(dl, "WinceExportTable"));
  if (auto* data = static_cast<const unsigned char*>(dlsym(dl, "WinceResourceData"))) {
    auto* size = static_cast<const size_t*>(dlsym(dl, "WinceResourceSize"));
    m.resourceData = data;
    m.resourceSize = size ? *size : 0;
  }
  Dl_info info{};
  void* probe = m.exports ? const_cast<WinceExport*>(m.exports) : dlsym(dl, "DllMain");
  if (probe && dladdr(probe, &info)) m.base = info.dli_fbase;
  HMODULE handle = reinterpret_cast<HMODULE>(nextHandle_);
  nextHandle_ += 0x10000;
  m.handle = handle;
  modules_.emplace(handle, m);
  d.accounting().acquire(ObjectKind::Module);
  if (auto entry = reinterpret_cast<DllMainProc>(dlsym(dl, "DllMain"))) {
    if (!entry(reinterpret_cast<HINSTANCE>(handle), DLL_PROCESS_ATTACH, nullptr)) {
      // Unloaded as by its last FreeLibrary: detached, its resources
      // forgotten, closed.
      modules_[handle].references = 1;
      free(handle);
      d.lastError() = ERROR_DLL_INIT_FAILED;
      return nullptr;
    }
  }
  return handle;
}

// A device library (ARM PE image): loaded into guest memory, its DllMain
// run on the emulated processor. A library that cannot be loaded is
// reported in one line, as the device's loader would refuse it.
HMODULE ModuleTable::loadArm(const std::filesystem::path& file) {
  Device& d = Device::current();
  std::string error;
  std::shared_ptr<ArmImage> image = ArmImage::load(file, error);
  if (!image) {
    d.reportProblem(error);
    d.lastError() = ERROR_BAD_FORMAT;
    return nullptr;
  }
  LoadedModule m;
  m.file = file;
  m.name = widen(file.filename().string());
  m.references = 1;
  m.resourceData = image->resourceData();
  m.resourceSize = image->resourceSize();
  m.arm = image;
  HMODULE handle = reinterpret_cast<HMODULE>(nextHandle_);
  nextHandle_ += 0x10000;
  m.handle = handle;
  modules_.emplace(handle, m);
  d.accounting().acquire(ObjectKind::Module);
  if (!image->attach(reinterpret_cast<HINSTANCE>(handle))) {
    modules_[handle].references = 1;
    free(handle);
    d.lastError() = ERROR_DLL_INIT_FAILED;
    return nullptr;
  }
  return handle;
}

BOOL ModuleTable::free(HMODULE handle) {
  auto it = modules_.find(handle);
  if (it == modules_.end()) {
    Device::current().lastError() = ERROR_INVALID_HANDLE;
    return FALSE;
  }
  if (--it->second.references > 0) return TRUE;
  unload(handle, nullptr);
  closeUnused();
  return TRUE;
}

void ModuleTable::unload(HMODULE handle, void* reserved) {
  auto it = modules_.find(handle);
  void* dl = it->second.dl;
  const void* base = it->second.base;
  const unsigned char* resources = it->second.resourceData;
  std::shared_ptr<ArmImage> arm = it->second.arm;
  if (arm) arm->detach(reinterpret_cast<HINSTANCE>(handle), reserved);
  else if (auto entry = reinterpret_cast<DllMainProc>(dlsym(dl, "DllMain")))
    entry(reinterpret_cast<HINSTANCE>(handle), DLL_PROCESS_DETACH, reserved);
  modules_.erase(it);
  if (resources) Device::current().resources().forgetResources(resources);
  if (arm && cpu::procsHeld(arm->base(), arm->size())) armStillMapped_.push_back(arm);
  arm.reset();
  Device::current().accounting().release(ObjectKind::Module);
  if (!dl) return;
  // The module is gone; its code goes only once nothing can call it.
  if (libraryCodeInUse(base))
    stillMapped_.push_back(Mapping{dl, base});
  else
    dlclose(dl);
}

void ModuleTable::closeUnused() {
  std::erase_if(armStillMapped_, [](const std::shared_ptr<ArmImage>& a) { return !cpu::procsHeld(a->base(), a->size()); });
  std::erase_if(stillMapped_, [](const Mapping& m) {
    if (libraryCodeInUse(m.base)) return false;
    dlclose(m.dl);
    return true;
  });
}

FARPROC ModuleTable::procAddress(HMODULE handle, const char* name, unsigned ordinal) {
  Device& d = Device::current();
  auto it = modules_.find(handle);
  if (it == modules_.end()) {
    d.lastError() = ERROR_INVALID_HANDLE;
    return nullptr;
  }
  if (it->second.arm) {
    if (FARPROC p = it->second.arm->procAddress(name, ordinal)) return p;
    d.lastError() = ERROR_PROC_NOT_FOUND;
    return nullptr;
  }
  for (const WinceExport* e = it->second.exports; e && e->symbol; ++e) {
    bool match = name ? (e->name && std::string(e->name) == name) : (e->ordinal != 0 && e->ordinal == ordinal);
    if (match) return reinterpret_cast<FARPROC>(dlsym(it->second.dl, e->symbol));
  }
  d.lastError() = ERROR_PROC_NOT_FOUND;
  return nullptr;
}

}  // namespace wince

using wince::Device;

const std::string& Device::lastLoadRefusal() const { return modules_->lastRefusal(); }

WINBASEAPI HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName) {
  WINCE_TRACE("LoadLibraryW");
  wince_trace_.args(lpLibFileName);
  if (!lpLibFileName || !*lpLibFileName) {
    Device::current().lastError() = ERROR_INVALID_PARAMETER;
    return wince_trace_.result(static_cast<HMODULE>(nullptr));
  }
  return wince_trace_.result(Device::current().modules().load(lpLibFileName));
}

WINBASEAPI BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  WINCE_TRACE("FreeLibrary");
  wince_trace_.args(hLibModule);
  return wince_trace_.result(Device::current().modules().free(hLibModule));
}

WINBASEAPI FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  if (IS_INTRESOURCE(lpProcName))
    return Device::current().modules().procAddress(hModule, nullptr,
                                                   static_cast<unsigned>(reinterpret_cast<uintptr_t>(lpProcName)));
  return Device::current().modules().procAddress(hModule, lpProcName, 0);
}

WINBASEAPI FARPROC WINAPI GetProcAddressW(HMODULE hModule, LPCWSTR lpProcName) {
  if (IS_INTRESOURCE(lpProcName)) return GetProcAddress(hModule, reinterpret_cast<LPCSTR>(lpProcName));
  std::string name = wince::narrow(lpProcName);
  return GetProcAddress(hModule, name.c_str());
}

WINBASEAPI DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
  const wince::LoadedModule* m = Device::current().modules().find(hModule);
  if (!m || nSize == 0) {
    Device::current().lastError() = ERROR_INVALID_HANDLE;
    return 0;
  }
  std::u16string path = u"\\Windows\\" + m->name;
  DWORD n = static_cast<DWORD>(std::min<size_t>(path.size(), nSize - 1));
  std::copy_n(path.begin(), n, lpFilename);
  lpFilename[n] = 0;
  return n;
}
