#include "cpu/procs.h"

#include <array>
#include <cstring>
#include <utility>
#include <vector>

#include "cpu/machine.h"

namespace wince::cpu {

namespace {

struct Slot {
  uint32_t guest = 0;  // 0: free
  ProcSignature signature{};
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

uint64_t enter(const Slot& slot, const uint64_t (&a)[8]) {
  Machine* m = Machine::existing();
  if (!m || !slot.guest) return 0;
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

template <int N>
uint64_t trampoline(uint64_t a0, uint64_t a1, uint64_t a2, uint64_t a3, uint64_t a4, uint64_t a5, uint64_t a6,
                    uint64_t a7) {
  const uint64_t a[8] = {a0, a1, a2, a3, a4, a5, a6, a7};
  return enter(slots()[N], a);
}

using Trampoline = uint64_t (*)(uint64_t, uint64_t, uint64_t, uint64_t, uint64_t, uint64_t, uint64_t, uint64_t);
template <size_t... I>
constexpr std::array<Trampoline, sizeof...(I)> makePool(std::index_sequence<I...>) {
  return {&trampoline<static_cast<int>(I)>...};
}
constexpr auto kPool = makePool(std::make_index_sequence<kProcPoolSize>{});

bool sameSignature(const ProcSignature& a, const ProcSignature& b) {
  return a.kind == b.kind && a.count == b.count && std::memcmp(a.args, b.args, sizeof a.args) == 0;
}

}  // namespace

void* hostProc(uint32_t guest, const ProcSignature& signature) {
  auto& s = slots();
  for (int i = 0; i < kProcPoolSize; ++i)
    if (s[i].guest == guest && sameSignature(s[i].signature, signature)) return reinterpret_cast<void*>(kPool[i]);
  for (int i = 0; i < kProcPoolSize; ++i)
    if (!s[i].guest) {
      s[i] = Slot{guest, signature};
      return reinterpret_cast<void*>(kPool[i]);
    }
  return nullptr;
}

uint32_t guestProc(const void* host) {
  for (int i = 0; i < kProcPoolSize; ++i)
    if (reinterpret_cast<const void*>(kPool[i]) == host) return slots()[i].guest;
  return 0;
}

int64_t lParamFromGuest(uint32_t word) {
  const auto& open = hostPointers();
  for (auto it = open.rbegin(); it != open.rend(); ++it)
    if (it->word == word) return static_cast<int64_t>(it->host);
  return widen(word);
}

void releaseProcs(uint32_t base, uint32_t size) {
  for (Slot& s : slots())
    if (s.guest && s.guest - base < size) s = Slot{};
}

}  // namespace wince::cpu
