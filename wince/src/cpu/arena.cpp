#include "cpu/arena.h"

#include <sys/mman.h>
#include <unicorn/unicorn.h>

#include <cstring>

namespace wince::cpu {

namespace {
// Below 2 GB so that a guest address is positive as a 32-bit value, and
// below AddressSanitizer's shadow (from 0x7fff8000 on x86-64), so the same
// addresses serve the sanitizer build. The first is the libraries'
// preferred base, which then needs no relocation.
constexpr uint32_t kCandidates[] = {0x10000000, 0x20000000, 0x30000000, 0x48000000, 0x60000000};

constexpr uint32_t align(uint32_t v, uint32_t a) { return (v + a - 1) & ~(a - 1); }
}  // namespace

std::unique_ptr<Arena> Arena::create(uc_engine* uc, std::string& error) {
  for (uint32_t candidate : kCandidates) {
    void* p = mmap(Arena::host(candidate), kSize, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED_NOREPLACE, -1, 0);
    if (p == MAP_FAILED) continue;
    if (p != host(candidate)) {  // a kernel without MAP_FIXED_NOREPLACE treats it as a hint
      munmap(p, kSize);
      continue;
    }
    std::unique_ptr<Arena> a(new Arena(candidate));
    const uint32_t b = candidate;
    bool ok = uc_mem_map_ptr(uc, b + kThunkOffset, kThunkSize, UC_PROT_READ | UC_PROT_EXEC,
                             host(b + kThunkOffset)) == UC_ERR_OK;
    for (int depth = 1; ok && depth <= kMaxDepth; ++depth) {
      const uint32_t low = a->stackTop(depth) - kStackSize;  // the guard page lies below, unmapped
      ok = uc_mem_map_ptr(uc, low, kStackSize, UC_PROT_READ | UC_PROT_WRITE, host(low)) == UC_ERR_OK;
    }
    ok = ok && uc_mem_map_ptr(uc, b + kHeapOffset, kSize - kHeapOffset, UC_PROT_READ | UC_PROT_WRITE,
                              host(b + kHeapOffset)) == UC_ERR_OK;
    if (!ok) {
      error = "the emulated processor refused the guest memory";
      return nullptr;
    }
    a->free_[b + kHeapOffset] = kSize - kHeapOffset;
    return a;
  }
  error = "no room below 2 GB for the guest memory (64 MB at 0x10000000 or another candidate)";
  return nullptr;
}

Arena::~Arena() { munmap(host(base_), kSize); }

uint32_t Arena::reserveImage(uint32_t preferred, uint32_t size) {
  size = align(size, 0x10000);
  auto fits = [&](uint32_t at) {
    if (at < base_ || at - base_ > kImageSize || size > kImageSize - (at - base_)) return false;
    for (const auto& [a, s] : images_)
      if (at < a + s && a < at + size) return false;
    return true;
  };
  uint32_t at = 0;
  if (preferred % 0x10000 == 0 && fits(preferred)) {
    at = preferred;
  } else {
    for (uint32_t c = base_; c < base_ + kImageSize; c += 0x10000)
      if (fits(c)) {
        at = c;
        break;
      }
  }
  if (at) images_[at] = size;
  return at;
}

void Arena::releaseImage(uint32_t address) {
  auto it = images_.find(address);
  if (it == images_.end()) return;
  // The next image to use these pages finds them as a fresh mapping would.
  std::memset(host(address), 0, it->second);
  images_.erase(it);
}

uint32_t Arena::allocate(uint32_t bytes, bool zero) {
  const uint32_t need = align(bytes ? bytes : 1, 8);
  for (auto it = free_.begin(); it != free_.end(); ++it) {
    if (it->second < need) continue;
    const uint32_t at = it->first;
    const uint32_t rest = it->second - need;
    free_.erase(it);
    if (rest) free_[at + need] = rest;
    used_[at] = need;
    if (zero) std::memset(host(at), 0, need);
    return at;
  }
  return 0;
}

bool Arena::release(uint32_t address) {
  auto it = used_.find(address);
  if (it == used_.end()) return false;
  uint32_t at = it->first, size = it->second;
  used_.erase(it);
  auto next = free_.lower_bound(at);
  if (next != free_.end() && next->first == at + size) {
    size += next->second;
    next = free_.erase(next);
  }
  if (next != free_.begin()) {
    auto prev = std::prev(next);
    if (prev->first + prev->second == at) {
      prev->second += size;
      return true;
    }
  }
  free_[at] = size;
  return true;
}

}  // namespace wince::cpu
