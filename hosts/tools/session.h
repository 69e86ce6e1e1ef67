// One run of the emulated device: the device itself, its Today shell and its
// player, and the folder where they live.
#pragma once
#include <filesystem>
#include <memory>
#include <optional>

#include "device.h"
#include "device_folder.h"
#include "player.h"
#include "today.h"

namespace crestune {

// Which build of the product the device runs: the device build (ARM PE
// images on the emulated StrongARM, its CAB Crestune.ARM.CAB) or the host
// build (shared objects run natively, Crestune.CAB).
enum class Build { Arm, Native };

// "device build (ARM) on the emulated StrongARM SA-1110" or "host build
// (x86-64, native)".
const char* buildDescription(Build build);

class Session {
 public:
  // folder empty: a fresh temporary device removed at the end.
  explicit Session(std::filesystem::path folder = {}, Build build = Build::Arm);
  ~Session();

  wince::Device& device() { return *device_; }
  Player& player() { return *player_; }
  TodayShell* today() { return today_.get(); }
  void startToday();
  void stopToday();
  const std::filesystem::path& folder() const { return folder_; }
  Build build() const { return build_; }
  // Where a relative output file of a script goes.
  std::filesystem::path outputFolder;

  // The folder that holds the device's built-in libraries.
  static std::filesystem::path romFolder();
  // The folder of the device build's libraries: CRESTUNE_DEVICE_DIR, else
  // "device" beside the library folder (<build>/device).
  static std::filesystem::path deviceBuildFolder();

 private:
  std::filesystem::path folder_;
  bool temporary_ = false;
  Build build_;
  std::unique_ptr<wince::DeviceFolder> held_;  // a folder of the caller's, locked for this run
  std::unique_ptr<wince::Device> device_;
  std::unique_ptr<Player> player_;
  std::unique_ptr<TodayShell> today_;
};

}  // namespace crestune
