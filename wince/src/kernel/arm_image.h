// The device's own libraries: Windows CE PE images for ARM (machine
// 0x01C0), loaded into guest memory and run on the emulated processor.
// Sections are mapped at the image's preferred base when it is free (else
// elsewhere, with base relocations applied), imports bound to the
// platform's thunks, exports handed to hosts as host-callable procedures,
// resources given to the platform's resource reader as compiled .res bytes.
#pragma once
#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace wince {

namespace cpu {
class Machine;
}

class ArmImage {
 public:
  ~ArmImage();
  ArmImage(const ArmImage&) = delete;
  ArmImage& operator=(const ArmImage&) = delete;

  // True when the file starts as a PE image for ARM does: such a file is
  // loaded as an ARM image or refused, never opened as a host library.
  static bool isArmImage(const std::filesystem::path& file);
  // Null, with one line in `error`, for an image that cannot be loaded: bad
  // headers, an unknown relocation, an import the platform does not have.
  static std::unique_ptr<ArmImage> load(const std::filesystem::path& file, std::string& error);

  uint32_t base() const { return base_; }
  uint32_t size() const { return size_; }
  const std::string& name() const { return name_; }
  bool contains(uint32_t address) const { return address - base_ < size_; }

  // DllMain with DLL_PROCESS_ATTACH / DETACH: false when it answers FALSE
  // or faults. An image without an entry point attaches as TRUE.
  bool attach(HINSTANCE handle);
  void detach(HINSTANCE handle, void* reserved);

  // A host-callable procedure for an export, by name or (name null) by
  // ordinal; null when the image does not export it.
  FARPROC procAddress(const char* name, unsigned ordinal) const;
  // The guest address of an export, or 0.
  uint32_t exportAddress(const char* name, unsigned ordinal) const;

  // The image's resources as a compiled .res file, in guest memory so that
  // LoadResource answers an address guest code can read. Null when none.
  const unsigned char* resourceData() const;
  size_t resourceSize() const { return resourceSize_; }

 private:
  ArmImage() = default;
  bool callEntry(HINSTANCE handle, DWORD reason, void* reserved);
  std::shared_ptr<cpu::Machine> machine_;
  std::string name_;
  uint32_t base_ = 0;
  uint32_t size_ = 0;
  uint32_t entry_ = 0;
  uint32_t resources_ = 0;  // guest address of the .res bytes
  size_t resourceSize_ = 0;
  std::map<unsigned, uint32_t> byOrdinal_;
  std::map<std::string, unsigned> ordinalOf_;
  bool mapped_ = false;
};

// The .res bytes of a PE resource tree (.rsrc at `rva` of `size` in an
// image mapped at `image` of `imageSize` bytes). Empty when it is damaged.
std::vector<unsigned char> resFromResourceTree(const unsigned char* image, uint32_t imageSize, uint32_t rva,
                                               uint32_t size);

}  // namespace wince
