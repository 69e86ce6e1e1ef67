// The folder a device lives in between runs, held by one process at a time.
#pragma once
#include <filesystem>
#include <string>

namespace wince {

// A device folder holds the device's registry (registry.reg, and
// registry.journal while a run has changes not yet folded into it), its
// files (Windows/...) and, while a process holds it, device.lock. A folder
// that does not exist yet, or holds nothing but what a run killed before
// its first save leaves (device.lock, the registry's temporary files), is a
// new device.
class DeviceFolder {
 public:
  static constexpr const char* kRegistryFile = "registry.reg";
  static constexpr const char* kLockFile = "device.lock";

  // Checks that `folder` is a device folder (making it when missing), locks
  // it for this process with an advisory lock on its lock file, and removes
  // the temporary files earlier runs left. Throws DeviceError naming the
  // folder when it is not a device folder, or another process holds it:
  // "DIR: the device folder is in use by another process (pid N)".
  explicit DeviceFolder(std::filesystem::path folder);
  // Unlocks the folder and removes its lock file.
  ~DeviceFolder();
  DeviceFolder(const DeviceFolder&) = delete;
  DeviceFolder& operator=(const DeviceFolder&) = delete;

  const std::filesystem::path& path() const { return folder_; }

  // Throws DeviceError when `folder` (which may be missing) is no device
  // folder; changes nothing.
  static void check(const std::filesystem::path& folder);
  // True for a name that the device itself leaves in its folder when a run
  // ends before it could clean up: the lock file, the registry's temporary
  // files (".registry.reg.XXXXXX").
  static bool isLeftover(const std::string& name);

  // Removes `folder` with everything in it when the process that held it is
  // gone: its lock file can be locked and names a process that no longer
  // exists (killed before it could remove the folder). A folder without a
  // lock file, or whose process may still run, is left alone. Answers
  // whether it was removed.
  static bool removeIfAbandoned(const std::filesystem::path& folder);
  // The host file a device path names in `folder`: "\Windows\x.dll" ->
  // folder/Windows/x.dll. The folder is the whole of the device's file
  // system, so a path that could lead out of it names nothing and answers
  // an empty path: an empty name or a "." or ".." component (a separator
  // doubled, as a share's "\\host", is an empty one), a drive letter or
  // any other ':', a forward slash (a host path's separator), a control
  // character or one of * ? " < > |; and a path that reaches outside through
  // a symbolic link in the folder. A relative path is taken from the root,
  // as the device has no current folder.
  static std::filesystem::path fileOf(const std::filesystem::path& folder, const std::u16string& devicePath);
  // True when a device path is made of such plain names alone (what fileOf
  // checks before it looks at the folder).
  static bool plainPath(const std::u16string& devicePath);

 private:
  std::filesystem::path folder_;
  int lock_ = -1;
};

}  // namespace wince
