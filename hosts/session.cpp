#include "session.h"

#include <unistd.h>

#include <cstdlib>

#include "device/errors.h"
#include "user/window_manager.h"

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

Session::Session(fs::path folder) : folder_(std::move(folder)) {
  if (folder_.empty()) {
    std::string pattern = (fs::temp_directory_path() / "crestune-device-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw wince::DeviceError("cannot make a temporary device folder");
    folder_ = pattern;
    temporary_ = true;
  } else if (fs::exists(folder_)) {
    if (!fs::is_directory(folder_)) throw wince::DeviceError(folder_.string() + ": not a device folder (not a folder)");
    if (!fs::is_empty(folder_) && !fs::exists(folder_ / "registry.reg"))
      throw wince::DeviceError(folder_.string() + ": not a device folder (it has files but no registry.reg)");
  } else {
    fs::create_directories(folder_);
  }
  fs::create_directories(folder_ / "Windows");
  wince::DeviceOptions options;
  options.folder = folder_;
  options.romFolder = romFolder();
  device_ = std::make_unique<wince::Device>(options);
  player_ = std::make_unique<Player>();
  outputFolder = fs::current_path();
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
