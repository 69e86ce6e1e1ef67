// Host->guest: a host function pointer for each guest procedure, so the
// platform calls a guest window procedure or export as it calls any. A pool
// of trampolines, each bound to a guest address and the kind of its calls;
// every trampoline takes up to eight integer arguments, as any procedure
// the platform calls does.
#pragma once
#include <cstdint>

#include "cpu/layouts.h"

namespace wince::cpu {

constexpr int kProcPoolSize = 64;

// Argument kinds of a plain export (ProcKind::Words).
enum class ArgKind : uint8_t { Word, String };
struct ProcSignature {
  ProcKind kind;
  uint8_t count = 0;
  ArgKind args[8] = {};
};

// The host pointer that calls guest code at `guest`; the same pointer for
// the same address and kind. Null when the pool is full.
void* hostProc(uint32_t guest, const ProcSignature& signature);
// The guest address behind a trampoline, or 0 for any other pointer.
uint32_t guestProc(const void* host);
// Frees the trampolines of guest code in [base, base + size).
void releaseProcs(uint32_t base, uint32_t size);

// A message's lParam as the platform gets it back from the guest: a host
// pointer the guest could not hold (a window procedure on the guest given a
// host buffer, WM_GETTEXT's) went in as its low 32 bits, which stand for it
// while that call runs, so that the guest handing the message on
// (DefWindowProcW, SendMessageW) hands on the host's pointer. Any other
// word is widened as ever.
int64_t lParamFromGuest(uint32_t word);

}  // namespace wince::cpu
