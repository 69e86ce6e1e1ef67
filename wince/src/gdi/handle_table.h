// A table of live objects under handles, found in constant time without a
// search or an allocation per object: a handle names a slot and the slot's
// generation, as the platform's own handle tables do (an index and a
// uniqueness count).
//
// A handle is 31 bits, a positive word as the device's 32-bit code holds
// it: the generation (11 bits, never 0), the table's tag (2 bits, so that
// tables never share a value), the slot (16 bits) and two zero bits. A slot freed goes to the back of the free queue, so it is used
// again as late as possible, and each use gives it a new generation: a
// handle whose object is gone is refused, even once its slot holds another
// object, until the slot's generation comes round again (2047 uses of that
// slot later). At most 65,536 objects of a table are live at once; past
// that, add() fails, as the platform's creation calls fail when its handle
// table is full.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace wince {

template <class T>
class HandleTable {
 public:
  static constexpr uint32_t kMaxSlots = 1u << 16;

  // `tag` 0..3 sets this table's handles apart from another table's.
  explicit HandleTable(uint32_t tag) : tag_(tag & 3) {}

  // Files `value` under a new handle; 0 when the table is full.
  uintptr_t add(T value) {
    uint32_t slot;
    if (!free_.empty()) {
      slot = free_.front();
      free_.pop_front();
    } else if (count_ < kMaxSlots) {
      slot = count_++;
      if (slot % kChunk == 0) chunks_.push_back(std::make_unique<Slot[]>(kChunk));
    } else {
      return 0;
    }
    Slot& s = at(slot);
    s.generation = s.generation % kGenerations + 1;  // 1..2047, never 0
    s.value.emplace(std::move(value));
    ++live_;
    return handleOf(slot, s.generation);
  }

  // The live object a handle names, or null (never made, or gone).
  T* find(uintptr_t h) {
    Slot* s = slotOf(h);
    return s ? &*s->value : nullptr;
  }
  const T* find(uintptr_t h) const { return const_cast<HandleTable*>(this)->find(h); }

  // Ends the object a handle names; false when it names none.
  bool erase(uintptr_t h) {
    Slot* s = slotOf(h);
    if (!s) return false;
    s->value.reset();
    free_.push_back(static_cast<uint32_t>(h >> 2) & (kMaxSlots - 1));
    --live_;
    return true;
  }

  size_t size() const { return live_; }

  // Calls f(value) for each live object.
  template <class F>
  void forEach(F&& f) const {
    for (uint32_t i = 0; i < count_; ++i)
      if (const Slot& s = at(i); s.value) f(*s.value);
  }

 private:
  static constexpr uint32_t kGenerations = (1u << 11) - 1;
  static constexpr uint32_t kChunk = 64;
  struct Slot {
    std::optional<T> value;
    uint32_t generation = 0;
  };

  uintptr_t handleOf(uint32_t slot, uint32_t generation) const {
    return static_cast<uintptr_t>(generation) << 20 | static_cast<uintptr_t>(tag_) << 18 |
           static_cast<uintptr_t>(slot) << 2;
  }
  Slot& at(uint32_t slot) const { return chunks_[slot / kChunk][slot % kChunk]; }
  Slot* slotOf(uintptr_t h) {
    if ((h & 3) != 0 || h >> 32 != 0 || ((h >> 18) & 3) != tag_) return nullptr;
    const uint32_t slot = static_cast<uint32_t>(h >> 2) & (kMaxSlots - 1);
    if (slot >= count_) return nullptr;
    Slot& s = at(slot);
    return s.value && s.generation == (h >> 20) ? &s : nullptr;
  }

  uint32_t tag_;
  // Slots in chunks of kChunk, so that an object stays where it is while
  // others are added.
  std::vector<std::unique_ptr<Slot[]>> chunks_;
  uint32_t count_ = 0;  // slots made
  std::deque<uint32_t> free_;
  size_t live_ = 0;
};

}  // namespace wince
