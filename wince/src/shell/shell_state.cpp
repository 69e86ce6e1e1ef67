// The shell: the device's programs, ShellExecuteEx and running processes.
#include "shell_state.h"

#include <algorithm>

#include "device.h"
#include "device/trace.h"

namespace wince {

namespace {
std::u16string folded(std::u16string s) {
  for (char16_t& c : s) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    if (c == u'/') c = u'\\';
  }
  return s;
}
// "wmplayer.exe" is found in \Windows, as the device's search path has it.
std::u16string canonical(const std::u16string& path) {
  std::u16string p = folded(path);
  if (p.find(u'\\') == std::u16string::npos) p = u"\\windows\\" + p;
  return p;
}
}  // namespace

struct ShellState::Impl {
  std::map<std::u16string, Starter> programs;
  std::map<std::u16string, std::u16string> paths;  // canonical -> as registered
  std::vector<HANDLE> processes;
  uintptr_t next = 0x40000000;
};

ShellState::ShellState() : impl_(std::make_unique<Impl>()) {}
ShellState::~ShellState() {
  for (size_t i = 0; i < impl_->processes.size(); ++i) Device::current().accounting().release(ObjectKind::Process);
}

void ShellState::registerProgram(const std::u16string& path, Starter starter) {
  std::u16string key = canonical(path);
  impl_->programs[key] = std::move(starter);
  impl_->paths[key] = path.find(u'\\') == std::u16string::npos ? u"\\Windows\\" + path : path;
}

std::vector<std::u16string> ShellState::programPaths() const {
  std::vector<std::u16string> out;
  for (const auto& [key, path] : impl_->paths) out.push_back(path);
  return out;
}

const ShellState::Starter* ShellState::findProgram(const std::u16string& path) const {
  auto it = impl_->programs.find(canonical(path));
  return it == impl_->programs.end() ? nullptr : &it->second;
}

HANDLE ShellState::addProcess() {
  HANDLE h = reinterpret_cast<HANDLE>(impl_->next);
  impl_->next += 4;
  impl_->processes.push_back(h);
  Device::current().accounting().acquire(ObjectKind::Process);
  return h;
}

bool ShellState::closeProcess(HANDLE h) {
  auto& p = impl_->processes;
  auto it = std::find(p.begin(), p.end(), h);
  if (it == p.end()) return false;
  p.erase(it);
  Device::current().accounting().release(ObjectKind::Process);
  return true;
}

}  // namespace wince

using wince::Device;

SHSTDAPI BOOL WINAPI ShellExecuteEx(LPSHELLEXECUTEINFO info) {
  WINCE_TRACE("ShellExecuteEx");
  wince_trace_.args(info ? info->lpVerb : nullptr, info ? info->lpFile : nullptr, info ? info->fMask : 0u,
                    info ? info->hwnd : nullptr, info ? info->nShow : 0);
  Device& d = Device::current();
  if (!info || info->cbSize != sizeof(SHELLEXECUTEINFO) || !info->lpFile) {
    d.lastError() = ERROR_INVALID_PARAMETER;
    return wince_trace_.result(FALSE);
  }
  if (DWORD e; wince_trace_.failure(&e)) {
    // The shell's own code for the failure rides along in hInstApp.
    info->hProcess = nullptr;
    info->hInstApp = reinterpret_cast<HINSTANCE>(e == ERROR_FILE_NOT_FOUND ? SE_ERR_FNF : SE_ERR_NOASSOC);
    return wince_trace_.fail(e, FALSE);
  }
  info->hProcess = nullptr;
  std::u16string file = info->lpFile;
  std::u16string verb = info->lpVerb ? info->lpVerb : u"open";
  if (lstrcmpiW(verb.c_str(), u"open") != 0) {
    d.lastError() = ERROR_NO_ASSOCIATION;
    info->hInstApp = reinterpret_cast<HINSTANCE>(SE_ERR_NOASSOC);
    return wince_trace_.result(FALSE);
  }
  if (file.size() >= 7 && lstrcmpiW(file.substr(0, 7).c_str(), u"mailto:") == 0) {
    // The device's mail program opens a new message to the address.
    d.shell().mailOpened().push_back(file);
    info->hInstApp = reinterpret_cast<HINSTANCE>(33);
    if (info->fMask & SEE_MASK_NOCLOSEPROCESS) info->hProcess = d.shell().addProcess();
    return wince_trace_.result(TRUE);
  }
  const wince::ShellState::Starter* starter = d.shell().findProgram(file);
  if (!starter || !(*starter)(file, info->lpParameters ? info->lpParameters : u"")) {
    d.lastError() = ERROR_FILE_NOT_FOUND;
    info->hInstApp = reinterpret_cast<HINSTANCE>(SE_ERR_FNF);
    return wince_trace_.result(FALSE);
  }
  info->hInstApp = reinterpret_cast<HINSTANCE>(33);
  if (info->fMask & SEE_MASK_NOCLOSEPROCESS) info->hProcess = d.shell().addProcess();
  return wince_trace_.result(TRUE);
}
