#include "cpu/procs.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "cpu/machine.h"
#include "device.h"
#include "user/wm_impl.h"

namespace wince::cpu {

namespace {

// A trampoline's binding. A slot of an unloaded library's procedure that a
// class, a window, a dialog or a timer still holds is retired, not freed:
// bound again to another procedure, it would call that one for them. A
// call through it faults the guest; it is freed once nothing holds it.
struct Slot {
  enum class State : uint8_t { Free, Bound, Retired } state = State::Free;
  uint32_t guest = 0;
  ProcSignature signature{};  // its pool always set
  std::string module;  // retired: the library the procedure was in
};
std::array<Slot, kProcPoolSize>& slots() {
  static std::array<Slot, kProcPoolSize> s;
  return s;
}

int64_t widen(uint32_t w) { return static_cast<int32_t>(w); }

// The host pointers of the window procedure calls now open on the guest,
// innermost last (see lParamFromGuest), each known to the guest by a word
// of this range: above every guest address (the arena lies below 2 GB and
// ends before 0x70000000) and apart from the handle tokens (0x7E000000).
constexpr uint32_t kHostPointerWords = 0x7F000000;
struct HostPointer {
  uint32_t word;
  uint64_t host;
};
std::vector<HostPointer>& hostPointers() {
  static std::vector<HostPointer> open;
  return open;
}

class HostPointerScope {
 public:
  HostPointerScope(uint32_t word, uint64_t host) : on_(host != 0) {
    if (on_) hostPointers().push_back(HostPointer{word, host});
  }
  ~HostPointerScope() {
    if (on_) hostPointers().pop_back();
  }
  HostPointerScope(const HostPointerScope&) = delete;
  HostPointerScope& operator=(const HostPointerScope&) = delete;

 private:
  bool on_;
};

// A host string for the guest: as it is when the guest can read it, else a
// copy on the next call's stack.
uint32_t stringForGuest(Machine& m, uint64_t v) {
  if (static_cast<int64_t>(v) == widen(static_cast<uint32_t>(v)) &&
      (v <= 0xFFFF || m.arena().contains(static_cast<uint32_t>(v))))
    return static_cast<uint32_t>(v);
  const auto* s = reinterpret_cast<const char16_t*>(v);
  size_t n = 0;
  while (s[n]) ++n;
  return m.pushScratch(s, static_cast<uint32_t>((n + 1) * 2));
}

// A structure the host passes by pointer: its guest copy on the next call's
// stack. 0 for null.
uint32_t structForGuest(Machine& m, const StructLayout& l, const void* host) {
  if (!host) return 0;
  std::vector<unsigned char> zero(l.guestSize);
  const uint32_t at = m.pushScratch(zero.data(), l.guestSize);
  if (at) toGuest(m, l, host, at, true);
  return at;
}

// A call through a trampoline whose procedure is gone: the device would
// jump into memory that no longer holds the code, and fault.
void refuse(const Slot& slot) {
  const std::string what = slot.state == Slot::State::Retired
                               ? "prefetch abort: call of a procedure of " + slot.module + ", which was unloaded,"
                               : std::string("prefetch abort: call through a trampoline bound to no procedure");
  if (Machine* m = Machine::existing()) return m->refuseCall(what, slot.guest);
  // The processor went with the last library: the fault is the device's all the same.
  if (!Device::exists() || Device::current().guestFault()) return;
  char at[16];
  std::snprintf(at, sizeof at, "0x%08x", slot.guest);
  const std::string report = "device fault: " + what + " at " + at;
  Device::current().reportProblem(report);
  Device::current().setGuestFault(GuestFault{report});
}

uint64_t enter(const Slot& slot, const uint64_t (&a)[8]) {
  if (slot.state != Slot::State::Bound) {
    refuse(slot);
    return 0;
  }
  Machine* m = Machine::existing();
  if (!m) return 0;
  uint32_t words[8];
  for (int i = 0; i < 8; ++i) words[i] = static_cast<uint32_t>(a[i]);
  uint32_t result = 0;
  switch (slot.signature.kind) {
    case ProcKind::Window: {
      // (HWND, UINT, WPARAM, LPARAM): the messages of the table carry a
      // structure in lParam, copied for the guest and, where the receiver
      // answers through it, back.
      // A wParam of more than 32 bits is no message the device's code can
      // be given (its WPARAM is a word): it is not delivered, as truncated
      // it would be another message. A word widened either way (-1 as
      // 0xFFFFFFFF or sign-extended) is that word.
      if (a[2] >> 32 && static_cast<int64_t>(a[2]) != widen(static_cast<uint32_t>(a[2]))) return 0;
      const MessageParam* p = messageParam(words[1]);
      void* host = reinterpret_cast<void*>(a[3]);
      if (p && host) words[3] = structForGuest(*m, *p->lparam, host);
      const uint32_t guestStruct = words[3];
      // A host pointer no table entry converts (a buffer of the host's
      // own, which the guest only passes on) stands in the guest's lParam as
      // a word of its own, outside guest memory: its low half could be any
      // guest address, and then be taken for the guest's own pointer.
      const bool hostOnly = !p && static_cast<int64_t>(a[3]) != widen(words[3]);
      if (hostOnly) words[3] = kHostPointerWords + static_cast<uint32_t>(hostPointers().size());
      HostPointerScope standIn(words[3], hostOnly ? a[3] : 0);
      m->call(slot.guest, words, 4, result);
      if (p && host && p->writesBack && guestStruct && !m->faulted()) toHost(*m, *p->lparam, guestStruct, host);
      return static_cast<uint64_t>(widen(result));
    }
    case ProcKind::TodayCreate: {
      // (TODAYLISTITEM*, HWND) -> HWND
      auto* item = reinterpret_cast<TODAYLISTITEM*>(a[0]);
      const StructLayout& l = *layoutOf<TODAYLISTITEM>();
      words[0] = structForGuest(*m, l, item);
      const uint32_t guestItem = words[0];
      m->call(slot.guest, words, 2, result);
      if (item && guestItem && !m->faulted()) toHost(*m, l, guestItem, item);
      return static_cast<uint64_t>(widen(result));
    }
    case ProcKind::Words: {
      const int n = slot.signature.count;
      for (int i = 0; i < n; ++i)
        if (slot.signature.args[i] == ArgKind::String && a[i]) words[i] = stringForGuest(*m, a[i]);
      m->call(slot.guest, words, n, result);
      return static_cast<uint64_t>(widen(result));
    }
  }
  return 0;
}

// The kind's own type, when the signature names none.
ProcPoolOf poolFor(const ProcSignature& s) {
  if (s.pool) return s.pool;
  switch (s.kind) {
    case ProcKind::Window: return &ProcPool<LRESULT(HWND, UINT, WPARAM, LPARAM)>::pointer;
    case ProcKind::TodayCreate: return &ProcPool<HWND(TODAYLISTITEM*, HWND)>::pointer;
    case ProcKind::Words: break;
  }
  using W = uint64_t;
  return &ProcPool<W(W, W, W, W, W, W, W, W)>::pointer;
}

bool sameSignature(const ProcSignature& a, const ProcSignature& b) {
  return a.kind == b.kind && a.count == b.count && std::memcmp(a.args, b.args, sizeof a.args) == 0 &&
         a.pool == b.pool;
}

}  // namespace

namespace {
// The host pointer of a bound or retired slot.
const void* pointerOf(int i) {
  const Slot& s = slots()[static_cast<size_t>(i)];
  return s.signature.pool ? s.signature.pool(i) : nullptr;
}
int freeSlot() {
  auto& s = slots();
  for (int i = 0; i < kProcPoolSize; ++i)
    if (s[i].state == Slot::State::Free) return i;
  // None free: the retired slots nothing holds any more go back.
  int found = -1;
  for (int i = kProcPoolSize - 1; i >= 0; --i)
    if (s[i].state == Slot::State::Retired && !procedureInUse(pointerOf(i))) {
      s[i] = Slot{};
      found = i;
    }
  return found;
}
}  // namespace

uint64_t enterProc(int slot, const uint64_t (&args)[8]) { return enter(slots()[static_cast<size_t>(slot)], args); }

void* hostProc(uint32_t guest, const ProcSignature& given) {
  ProcSignature signature = given;
  signature.pool = poolFor(given);
  auto& s = slots();
  for (int i = 0; i < kProcPoolSize; ++i)
    if (s[i].state == Slot::State::Bound && s[i].guest == guest && sameSignature(s[i].signature, signature))
      return const_cast<void*>(pointerOf(i));
  const int i = freeSlot();
  if (i < 0) return nullptr;
  s[i] = Slot{Slot::State::Bound, guest, signature, {}};
  return const_cast<void*>(pointerOf(i));
}

uint32_t guestProc(const void* host) {
  for (int i = 0; i < kProcPoolSize; ++i)
    if (pointerOf(i) == host) return slots()[i].state == Slot::State::Bound ? slots()[i].guest : 0;
  return 0;
}

bool procsHeld(uint32_t base, uint32_t size) {
  for (int i = 0; i < kProcPoolSize; ++i)
    if (slots()[i].state == Slot::State::Bound && slots()[i].guest - base < size && procedureInUse(pointerOf(i)))
      return true;
  return false;
}

int procsInUse() {
  int n = 0;
  for (const Slot& s : slots()) n += s.state != Slot::State::Free;
  return n;
}

int64_t lParamFromGuest(uint32_t word) {
  const auto& open = hostPointers();
  for (auto it = open.rbegin(); it != open.rend(); ++it)
    if (it->word == word) return static_cast<int64_t>(it->host);
  return widen(word);
}

void releaseProcs(uint32_t base, uint32_t size, const std::string& module) {
  auto& s = slots();
  for (int i = 0; i < kProcPoolSize; ++i) {
    if (s[i].state != Slot::State::Bound || s[i].guest - base >= size) continue;
    if (procedureInUse(pointerOf(i))) {
      s[i].state = Slot::State::Retired;
      s[i].module = module;
    } else {
      s[i] = Slot{};
    }
  }
}

}  // namespace wince::cpu
