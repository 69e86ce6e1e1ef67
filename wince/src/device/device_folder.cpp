// The device folder held for one run: checked, locked, and cleared of what
// killed runs left behind.
#include "device_folder.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "device/atomic_file.h"
#include "device/unique_fd.h"
#include "device.h"
#include "device_error.h"

namespace wince {

namespace fs = std::filesystem;

namespace {

// " (pid N)" when the lock file names the process holding it.
std::string holderOf(int fd) {
  char buf[24] = {};
  const ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
  std::string pid;
  for (ssize_t i = 0; i < n && std::isdigit(static_cast<unsigned char>(buf[i])); ++i) pid += buf[i];
  return pid.empty() ? std::string() : " (pid " + pid + ")";
}

// An exclusive lock on the folder's lock file, made when missing; refused at
// once when another process holds it.
UniqueFd lockFolder(const fs::path& folder) {
  const fs::path lockPath = folder / DeviceFolder::kLockFile;
  auto fail = [&](int err) -> DeviceError {
    return DeviceError(folder.string() + ": cannot lock the device folder (" + std::strerror(err) + ")");
  };
  for (int attempt = 0; attempt < 100; ++attempt) {
    UniqueFd fd(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!fd) throw fail(errno);
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK)
        throw DeviceError(folder.string() + ": the device folder is in use by another process" + holderOf(fd.get()));
      throw fail(errno);
    }
    // A holder removes the lock file as it lets go: a lock taken on a file
    // that is no longer the folder's lock file locks nothing, so try again.
    struct stat held {}, named {};
    if (::fstat(fd.get(), &held) != 0) throw fail(errno);
    if (::stat(lockPath.c_str(), &named) != 0 || held.st_dev != named.st_dev || held.st_ino != named.st_ino)
      continue;
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd.get(), 0) == 0) (void)!::pwrite(fd.get(), pid.data(), pid.size(), 0);
    return fd;
  }
  throw DeviceError(folder.string() + ": cannot lock the device folder (its lock file keeps being replaced)");
}

// One component of a device path: a name the device's file system could
// hold, and nothing that moves up or out.
bool plainComponent(const std::u16string& c) {
  if (c.empty() || c == u"." || c == u"..") return false;
  for (char16_t ch : c)
    if (ch < 0x20 || ch == 0x7F || ch == u':' || ch == u'/' || ch == u'*' || ch == u'?' || ch == u'"' ||
        ch == u'<' || ch == u'>' || ch == u'|')
      return false;
  return true;
}

}  // namespace

bool DeviceFolder::removeIfAbandoned(const fs::path& folder) {
  UniqueFd fd(::open((folder / kLockFile).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
  if (!fd) return false;
  // The number is read before any lock is tried: a process that is making
  // its temporary device locks the file and then writes its number, and a
  // lock held here even for a moment would refuse it its own new folder. A
  // lock file without a number, or with the number of a process that runs,
  // is left alone untouched.
  auto holder = [&] {
    char buf[24] = {};
    const ssize_t n = ::pread(fd.get(), buf, sizeof buf - 1, 0);
    long pid = 0;
    for (ssize_t i = 0; i < n && std::isdigit(static_cast<unsigned char>(buf[i])); ++i) pid = pid * 10 + (buf[i] - '0');
    return pid;
  };
  auto gone = [](long pid) { return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH; };
  const long pid = holder();
  if (!gone(pid)) return false;
  // Its process is gone: nobody else takes a temporary folder's lock, so the
  // lock is free unless another run is removing it at this moment.
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || holder() != pid) return false;
  std::error_code ec;
  fs::remove_all(folder, ec);
  return !ec;
}

bool DeviceFolder::plainPath(const std::u16string& devicePath) {
  if (devicePath.empty()) return false;
  // One separator may lead ("\Windows\x.dll"); "\" alone is the root.
  const size_t first = devicePath.front() == u'\\' ? 1 : 0;
  for (size_t start = first; start < devicePath.size();) {
    size_t end = std::min(devicePath.find(u'\\', start), devicePath.size());
    if (!plainComponent(devicePath.substr(start, end - start))) return false;
    if (end + 1 == devicePath.size()) return false;  // a trailing separator: an empty last name
    start = end + 1;
  }
  return true;
}

fs::path DeviceFolder::fileOf(const fs::path& folder, const std::u16string& devicePath) {
  if (folder.empty() || !plainPath(devicePath)) return {};
  fs::path file = folder;
  for (size_t start = devicePath.front() == u'\\' ? 1 : 0; start < devicePath.size();) {
    size_t end = std::min(devicePath.find(u'\\', start), devicePath.size());
    file /= narrow(devicePath.substr(start, end - start));
    start = end + 1;
  }
  // The names are plain, but a symbolic link in the folder may still point
  // out of it: what the path leads to, links followed, must lie inside.
  std::error_code ec;
  const fs::path root = fs::weakly_canonical(folder, ec);
  if (ec) return {};
  const fs::path real = fs::weakly_canonical(file, ec);
  if (ec) return {};
  auto r = root.begin(), f = real.begin();
  for (; r != root.end(); ++r, ++f)
    if (f == real.end() || *f != *r) return {};
  return file;
}

bool DeviceFolder::isLeftover(const std::string& name) {
  return name == kLockFile || isTemporaryFileOf(kRegistryFile, name);
}

void DeviceFolder::check(const fs::path& folder) {
  std::error_code ec;
  const fs::file_status st = fs::status(folder, ec);
  if (ec && ec != std::errc::no_such_file_or_directory)
    throw DeviceError(folder.string() + ": not a device folder (" + ec.message() + ")");
  if (!fs::exists(st)) return;
  if (!fs::is_directory(st)) throw DeviceError(folder.string() + ": not a device folder (not a folder)");
  const fs::path reg = folder / kRegistryFile;
  const fs::file_status regStatus = fs::status(reg, ec);
  if (fs::exists(regStatus)) {
    if (!fs::is_regular_file(regStatus))
      throw DeviceError(reg.string() + ": not a registry file (not a regular file)");
    return;
  }
  for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
    if (!isLeftover(it->path().filename().string()))
      throw DeviceError(folder.string() + ": not a device folder (it has files but no " + kRegistryFile + ")");
  if (ec) throw DeviceError(folder.string() + ": not a device folder (" + ec.message() + ")");
}

DeviceFolder::DeviceFolder(fs::path folder) : folder_(std::move(folder)) {
  // Checked before anything is made, so that a folder that is refused is
  // left as it was.
  check(folder_);
  std::error_code ec;
  fs::create_directories(folder_, ec);
  if (ec) throw DeviceError(folder_.string() + ": cannot make the device folder (" + ec.message() + ")");
  UniqueFd lock = lockFolder(folder_);
  lock_ = lock.get();
  try {
    // Again under the lock: the process that held it may have changed it.
    check(folder_);
    // Nobody else writes here now: a temporary file is one a killed run
    // never renamed.
    std::vector<fs::path> stale;
    for (fs::directory_iterator it(folder_, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
      const std::string name = it->path().filename().string();
      if (name != kLockFile && isLeftover(name)) stale.push_back(it->path());
    }
    for (const fs::path& p : stale) fs::remove(p, ec);
  } catch (...) {
    ::unlink((folder_ / kLockFile).c_str());
    lock_ = -1;
    throw;  // `lock` closes the file, which lets the lock go
  }
  (void)lock.release();
}

DeviceFolder::~DeviceFolder() {
  if (lock_ < 0) return;
  // Removed while still locked; whoever opened it meanwhile finds it gone
  // once it has the lock, and makes a new one.
  ::unlink((folder_ / kLockFile).c_str());
  ::close(lock_);
}

}  // namespace wince
