#include "session.h"

#include <unistd.h>

#include <cstdlib>

#include "device_error.h"
#include "window_manager.h"

namespace crestune {

namespace fs = std::filesystem;

fs::path Session::romFolder() {
  if (const char* env = std::getenv("CRESTUNE_LIB_DIR")) return env;
  // Next to the program: <build>/bin/crestune and <build>/lib/*.so.
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) return self.parent_path().parent_path() / "lib";
  return "lib";
}

namespace {

// A device folder is a folder that is empty or holds a registry.reg file;
// anything else is refused before the device touches it.
void checkDeviceFolder(const fs::path& folder) {
  std::error_code ec;
  fs::file_status st = fs::status(folder, ec);
  if (ec && ec != std::errc::no_such_file_or_directory)
    throw wince::DeviceError(folder.string() + ": not a device folder (" + ec.message() + ")");
  if (!fs::exists(st)) return;
  if (!fs::is_directory(st)) throw wince::DeviceError(folder.string() + ": not a device folder (not a folder)");
  fs::path reg = folder / "registry.reg";
  fs::file_status regStatus = fs::status(reg, ec);
  if (fs::exists(regStatus)) {
    if (!fs::is_regular_file(regStatus))
      throw wince::DeviceError(reg.string() + ": not a registry file (not a regular file)");
    return;
  }
  if (!fs::is_empty(folder, ec) || ec)
    throw wince::DeviceError(folder.string() + ": not a device folder (it has files but no registry.reg)");
}

}  // namespace

Session::Session(fs::path folder) : folder_(std::move(folder)) {
  try {
    if (folder_.empty()) {
      std::string pattern = (fs::temp_directory_path() / "crestune-device-XXXXXX").string();
      if (!mkdtemp(pattern.data())) throw wince::DeviceError("cannot make a temporary device folder");
      folder_ = pattern;
      temporary_ = true;
    } else {
      checkDeviceFolder(folder_);
      std::error_code ec;
      fs::create_directories(folder_, ec);
      if (ec) throw wince::DeviceError(folder_.string() + ": cannot make the device folder (" + ec.message() + ")");
    }
    wince::DeviceOptions options;
    options.folder = folder_;
    options.romFolder = romFolder();
    // The registry is read first: a damaged one stops the device before
    // anything else in its folder changes.
    device_ = std::make_unique<wince::Device>(options);
    std::error_code ec;
    fs::create_directories(folder_ / "Windows", ec);
    if (ec) throw wince::DeviceError((folder_ / "Windows").string() + ": cannot make the folder (" + ec.message() + ")");
    player_ = std::make_unique<Player>();
    outputFolder = fs::current_path();
  } catch (...) {
    // No destructor runs for a half-made session: undo what it did.
    player_.reset();
    device_.reset();
    if (temporary_) {
      std::error_code ec;
      fs::remove_all(folder_, ec);
    }
    throw;
  }
}

Session::~Session() {
  today_.reset();
  player_.reset();
  device_.reset();
  if (temporary_) {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
}

void Session::startToday() {
  if (!today_) today_ = std::make_unique<TodayShell>();
  device_->windows().runUntilIdle();
}

void Session::stopToday() {
  today_.reset();
  device_->windows().runUntilIdle();
}

}  // namespace crestune
