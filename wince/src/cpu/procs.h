// Host->guest: a host function pointer for each guest procedure, so the
// platform calls a guest window procedure or export as it calls any. A pool
// of trampolines, each bound to a guest address and the kind of its calls;
// every trampoline takes up to eight integer arguments, as any procedure
// the platform calls does.
#pragma once
#include <cstdint>
#include <string>

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
// the same address and kind. Null when every trampoline is bound or held.
void* hostProc(uint32_t guest, const ProcSignature& signature);
// The guest address behind a trampoline, or 0 for any other pointer.
uint32_t guestProc(const void* host);
// The trampolines of guest code in [base, base + size), whose library
// `module` is being unloaded: freed, or retired while a class, a window, a
// dialog or a timer still holds one (a call through it then faults the
// guest, as the device faults jumping into unloaded code; it is freed
// once nothing holds it).
void releaseProcs(uint32_t base, uint32_t size, const std::string& module);
// True when a class, a window, a dialog or a timer holds a trampoline of
// guest code in [base, base + size): its library must stay mapped.
bool procsHeld(uint32_t base, uint32_t size);
// Trampolines bound or retired, for the accounting's tests.
int procsInUse();

// A message's lParam as the platform gets it back from the guest: a host
// pointer the guest could not hold (a window procedure on the guest given a
// host buffer, WM_GETTEXT's) went in as its low 32 bits, which stand for it
// while that call runs, so that the guest handing the message on
// (DefWindowProcW, SendMessageW) hands on the host's pointer. Any other
// word is widened as ever.
int64_t lParamFromGuest(uint32_t word);

}  // namespace wince::cpu
