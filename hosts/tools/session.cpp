// One run of the emulated device: its folder held, the device made in it,
// and everything shut down in order at the end.
#include "session.h"

#include <unistd.h>

#include <cstdlib>

#include "device_error.h"
#include "device_folder.h"
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

Session::Session(fs::path folder) : folder_(std::move(folder)) {
  try {
    if (folder_.empty()) {
      std::string pattern = (fs::temp_directory_path() / "crestune-device-XXXXXX").string();
      if (!mkdtemp(pattern.data())) throw wince::DeviceError("cannot make a temporary device folder");
      folder_ = pattern;
      temporary_ = true;
    } else {
      // Held until the device has shut down: another process on the same
      // folder would lose one run's changes or the other's.
      held_ = std::make_unique<wince::DeviceFolder>(folder_);
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
    held_.reset();
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
  device_.reset();  // its registry is written out before the folder is let go
  held_.reset();
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
