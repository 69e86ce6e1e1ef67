// One run of the emulated device: its folder held, the device made in it,
// and everything shut down in order at the end.
#include "session.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "device_error.h"
#include "device_folder.h"
#include "window_manager.h"

namespace crestune {

namespace fs = std::filesystem;

namespace {
constexpr char kTemporaryPrefix[] = "crestune-device-";
}  // namespace

fs::path Session::romFolder() {
  if (const char* env = std::getenv("CRESTUNE_LIB_DIR")) return env;
  // Next to the program: <build>/bin/crestune and <build>/lib/*.so.
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) return self.parent_path().parent_path() / "lib";
  return "lib";
}

fs::path Session::deviceBuildFolder() {
  if (const char* env = std::getenv("CRESTUNE_DEVICE_DIR")) return env;
  return romFolder().parent_path() / "device";
}

const char* buildDescription(Build build) {
  return build == Build::Arm ? "device build (ARM) on the emulated StrongARM SA-1110" : "host build (x86-64, native)";
}

Session::Session(fs::path folder, Build build) : folder_(std::move(folder)), build_(build) {
  try {
    fs::path deviceBuild;
    if (build_ == Build::Arm) {
      // Refused before any folder is made: without the device build there
      // is nothing to run on the emulated processor.
      deviceBuild = deviceBuildFolder();
      std::error_code ec;
      if (!fs::is_regular_file(deviceBuild / "crestitem.dll", ec))
        throw wince::DeviceError((deviceBuild / "crestitem.dll").string() +
                                 ": no device build here (tools/device-build.sh makes it; --native runs the host build)");
    }
    if (folder_.empty()) {
      // A temporary device is held as a device folder is, so that one a
      // killed run left behind (its process gone) is known as such and
      // removed by the next run that makes one.
      const fs::path tmp = fs::temp_directory_path();
      std::error_code ec;
      for (fs::directory_iterator it(tmp, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
        if (it->path().filename().string().rfind(kTemporaryPrefix, 0) == 0)
          wince::DeviceFolder::removeIfAbandoned(it->path());
      std::string pattern = (tmp / (std::string(kTemporaryPrefix) + "XXXXXX")).string();
      if (!mkdtemp(pattern.data()))
        throw wince::DeviceError(tmp.string() + ": cannot make a temporary device folder (" + std::strerror(errno) + ")");
      folder_ = pattern;
      temporary_ = true;
      held_ = std::make_unique<wince::DeviceFolder>(folder_);
    } else {
      // Held until the device has shut down: another process on the same
      // folder would lose one run's changes or the other's.
      held_ = std::make_unique<wince::DeviceFolder>(folder_);
    }
    wince::DeviceOptions options;
    options.folder = folder_;
    options.romFolder = romFolder();
    options.deviceBuild = deviceBuild;
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
