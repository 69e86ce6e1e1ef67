// Guest memory that is host memory: one region reserved at the same
// addresses in this process and in the emulated processor, below 2 GB, so
// that a 32-bit guest pointer is a host pointer as it stands.
//
//   base + 0         images (16 MB): each library at its preferred base if free
//   base + 16 MB     the thunk page (64 KB): `svc #n; mov pc, lr` per import
//   base + 17 MB     stacks, 64 KB per call depth, each under an unmapped guard page
//   base + 24 MB     the heap of guest modules (LocalAlloc and friends), to the end
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

struct uc_struct;

namespace wince::cpu {

class Arena {
 public:
  static constexpr uint32_t kSize = 64u << 20;
  static constexpr uint32_t kImageSize = 16u << 20;
  static constexpr uint32_t kThunkOffset = 16u << 20;
  static constexpr uint32_t kThunkSize = 64u << 10;
  static constexpr uint32_t kStackOffset = 17u << 20;
  static constexpr uint32_t kStackSize = 64u << 10;  // the device's default stack
  static constexpr uint32_t kGuardSize = 4u << 10;
  static constexpr int kMaxDepth = 48;
  static constexpr uint32_t kHeapOffset = 24u << 20;

  // Reserves the region at the first free candidate address and maps its
  // fixed parts (thunks, stacks, heap) into `uc`. Null, with `error` set,
  // when no candidate is free.
  static std::unique_ptr<Arena> create(uc_struct* uc, std::string& error);
  ~Arena();
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;

  uint32_t base() const { return base_; }
  bool contains(uint32_t address, uint32_t length = 1) const {
    return address >= base_ && length <= kSize && address - base_ <= kSize - length;
  }
  static void* host(uint32_t address) { return reinterpret_cast<void*>(static_cast<uintptr_t>(address)); }
  static uint32_t guest(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

  uint32_t thunkBase() const { return base_ + kThunkOffset; }
  // Where guest code returns to when a host->guest call is done; never run.
  uint32_t sentinel() const { return base_ + kThunkOffset + kThunkSize - 8; }
  // The top (highest address) of the stack of call depth `depth` (1-based).
  uint32_t stackTop(int depth) const {
    return base_ + kStackOffset + static_cast<uint32_t>(depth) * (kStackSize + kGuardSize);
  }

  // Room for an image of `size` bytes: at `preferred` when it is inside the
  // image area and free, else at the lowest free 64 KB boundary. 0 when full.
  uint32_t reserveImage(uint32_t preferred, uint32_t size);
  void releaseImage(uint32_t address);

  // The guest heap: 8-byte aligned blocks. 0 when exhausted.
  uint32_t allocate(uint32_t bytes, bool zero);
  // False for an address that is not a live block.
  bool release(uint32_t address);
  bool isBlock(uint32_t address) const { return used_.count(address) != 0; }

 private:
  explicit Arena(uint32_t base) : base_(base) {}
  uint32_t base_;
  std::map<uint32_t, uint32_t> images_;  // address -> size
  std::map<uint32_t, uint32_t> free_;    // heap: address -> size, coalesced
  std::map<uint32_t, uint32_t> used_;
};

}  // namespace wince::cpu
