// The ARM image loader on damaged images: the input is written as a file of
// the device and loaded as the device loads an ARM library (headers,
// sections, relocations, imports, exports, resources), without running its
// entry point. An image that cannot load is refused in one line naming the
// file; one that loads lies wholly in guest memory, and so do its
// resources and the exports it hands out; nothing outlives its unloading.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "cpu/machine.h"
#include "device.h"
#include "fuzz_support.h"
#include "kernel/arm_image.h"

namespace {

namespace fs = std::filesystem;

struct World {
  World() : file(fs::temp_directory_path() / ("crestune-fuzz-" + std::to_string(getpid())) / "fuzz.dll") {
    fs::create_directories(file.parent_path());
    std::string error;
    machine = wince::cpu::Machine::shared(error);
    FUZZ_CHECK(machine, "the emulated processor: " + error);
  }
  ~World() {
    std::error_code ec;
    fs::remove_all(file.parent_path(), ec);
  }
  wince::Device device{wince::DeviceOptions{}};
  // Held for the whole run, so that every image goes into the same guest
  // memory and each unloading must give back what its loading took.
  std::shared_ptr<wince::cpu::Machine> machine;
  fs::path file;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static World world;
  if (FILE* f = std::fopen(world.file.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    return 0;
  }
  const bool looksArm = wince::ArmImage::isArmImage(world.file);
  std::string error;
  std::unique_ptr<wince::ArmImage> image = wince::ArmImage::load(world.file, error);
  world.device.takeProblems();
  if (!image) {
    FUZZ_CHECK(!error.empty(), "a refusal without a reason");
    FUZZ_CHECK(error.find('\n') == std::string::npos, "a refusal of more than one line: " + error);
    FUZZ_CHECK(error.rfind("fuzz.dll: ", 0) == 0, "a refusal that does not name the file: " + error);
    return 0;
  }
  FUZZ_CHECK(looksArm, "an image loaded that is not an ARM image by its headers");
  wince::cpu::Arena& arena = world.machine->arena();
  FUZZ_CHECK(image->size() > 0 && arena.contains(image->base(), image->size()), "an image mapped outside guest memory");
  if (const unsigned char* res = image->resourceData()) {
    const auto at = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(res));
    FUZZ_CHECK(reinterpret_cast<uintptr_t>(res) == at && arena.contains(at, static_cast<uint32_t>(image->resourceSize())),
               "resources outside guest memory");
  }
  for (unsigned ordinal = 0; ordinal < 8; ++ordinal) {
    const uint32_t address = image->exportAddress(nullptr, 240 + ordinal);
    FUZZ_CHECK(!address || image->contains(address), "an export outside its image");
  }
  for (const char* name : {"DllMain", "Install_Init", "Uninstall_Exit"}) {
    const uint32_t address = image->exportAddress(name, 0);
    FUZZ_CHECK(!address || image->contains(address), std::string("the export ") + name + " outside its image");
  }
  return 0;
}
