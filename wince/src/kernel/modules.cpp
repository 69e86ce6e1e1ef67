// The loader: LoadLibraryW, FreeLibrary and GetProcAddress over shared
// objects that carry a WinceExportTable (derived from their .def file).
#include "kernel/modules.h"

#include <dlfcn.h>

#include <algorithm>
#include <iterator>

#include "device.h"
#include "cpu/machine.h"
#include "device/trace.h"
#include "module_abi.h"
#include "kernel/arm_image.h"
#include "kernel/resources.h"

namespace wince {

namespace {

using DllMainProc = BOOL (*)(HINSTANCE, DWORD, LPVOID);

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// Where a library name leads on this device: a device path names a file in
// the device folder; a bare name is looked for in the device's \Windows
// folder, then among the built-in libraries (the build's library folder,
// where "x.dll" is the shared object "x.so").
std::filesystem::path resolve(const std::u16string& name) {
  Device& d = Device::current();
  std::string n = narrow(name);
  namespace fs = std::filesystem;
  if (n.find('\\') != std::string::npos || n.find('/') != std::string::npos) {
    if (!d.options().folder.empty()) {
      fs::path p = d.hostPath(name);
      if (fs::exists(p)) return p;
    }
    n = n.substr(n.find_last_of("\\/") + 1);
  }
  if (!d.options().folder.empty()) {
    fs::path p = d.options().folder / "Windows" / n;
    if (fs::exists(p)) return p;
  }
  if (!d.options().romFolder.empty()) {
    std::string stem = n;
    if (lower(stem).size() > 4 && lower(stem).ends_with(".dll")) stem = stem.substr(0, stem.size() - 4);
    for (const std::string& candidate : {stem + ".so", n}) {
      fs::path p = d.options().romFolder / candidate;
      if (fs::exists(p)) return p;
    }
  }
  return {};
}

}  // namespace

ModuleTable::~ModuleTable() {
  // Libraries still loaded when the device shuts down are detached in
  // reverse order of loading, as the system does at process exit.
  // Handles only grow, so the last entry of the table is the latest loaded.
  // Their DllMain learns it from a non-NULL lpReserved, as there.
  while (!modules_.empty()) unload(std::prev(modules_.end())->first, kProcessExit);
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
  std::filesystem::path file = resolve(name);
  if (file.empty()) {
    d.lastError() = ERROR_MOD_NOT_FOUND;
    return nullptr;
  }
  file = std::filesystem::weakly_canonical(file);
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
  return TRUE;
}

void ModuleTable::unload(HMODULE handle, void* reserved) {
  auto it = modules_.find(handle);
  void* dl = it->second.dl;
  const unsigned char* resources = it->second.resourceData;
  std::shared_ptr<ArmImage> arm = it->second.arm;
  if (arm) arm->detach(reinterpret_cast<HINSTANCE>(handle), reserved);
  else if (auto entry = reinterpret_cast<DllMainProc>(dlsym(dl, "DllMain")))
    entry(reinterpret_cast<HINSTANCE>(handle), DLL_PROCESS_DETACH, reserved);
  modules_.erase(it);
  if (resources) Device::current().resources().forgetResources(resources);
  if (dl) dlclose(dl);
  arm.reset();
  Device::current().accounting().release(ObjectKind::Module);
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
