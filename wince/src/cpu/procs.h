// Host->guest: a host function pointer for each guest procedure, so the
// platform calls a guest window procedure or export as it calls any. A pool
// of slots, each bound to a guest address and the kind of its calls, and a
// trampoline for each slot in every C type a guest procedure is called
// through (WNDPROC, an export's type), so that the host calls it through
// its own type; every procedure the platform calls takes up to eight
// integer or pointer arguments.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>

#include "cpu/layouts.h"

namespace wince::cpu {

constexpr int kProcPoolSize = 64;

// Argument kinds of a plain export (ProcKind::Words).
enum class ArgKind : uint8_t { Word, String };
// The trampoline of slot `slot` in one C type (ProcPool<F>::pointer).
using ProcPoolOf = const void* (*)(int slot);
struct ProcSignature {
  ProcKind kind;
  uint8_t count = 0;
  ArgKind args[8] = {};
  // The C type the host calls it through; null for the kind's own
  // (Window: WNDPROC, which DLGPROC is; TodayCreate: PFNCUSTOMINITIALIZEITEM;
  // Words: eight 64-bit words to one, for an export of no known type).
  ProcPoolOf pool = nullptr;
};

// The host pointer that calls guest code at `guest`; the same pointer for
// the same address, kind and type. Null when every slot is bound or held.
void* hostProc(uint32_t guest, const ProcSignature& signature);

// Calls the procedure slot `slot` is bound to (faults the guest when it is
// not bound), the host's arguments widened to 64 bits each.
uint64_t enterProc(int slot, const uint64_t (&args)[8]);

// The trampolines of C type F = R(A...).
template <class F> struct ProcPool;
template <class R, class... A>
struct ProcPool<R(A...)> {
  static_assert(sizeof...(A) <= 8, "a procedure of at most eight arguments");
  template <class T> static uint64_t word(T v) {
    if constexpr (std::is_pointer_v<T>) return reinterpret_cast<uint64_t>(v);
    else return static_cast<uint64_t>(v);
  }
  template <int N> static R trampoline(A... a) {
    const uint64_t words[8] = {word(a)...};
    const uint64_t r = enterProc(N, words);
    if constexpr (std::is_pointer_v<R>) return reinterpret_cast<R>(r);
    else return static_cast<R>(r);
  }
  template <size_t... I>
  static constexpr std::array<R (*)(A...), sizeof...(I)> make(std::index_sequence<I...>) {
    return {&trampoline<static_cast<int>(I)>...};
  }
  static constexpr auto kTrampolines = make(std::make_index_sequence<kProcPoolSize>{});
  static const void* pointer(int slot) { return reinterpret_cast<const void*>(kTrampolines[slot]); }
};
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
