// Guest->host: the function a thunk calls for one platform function,
// generated from its type. Each argument word becomes the host parameter:
// integers as they are (sign- or zero-extended), pointers and handles as
// they are (guest memory is host memory), structures of the layout table
// converted into a host copy (and back after the call when the function
// writes them), procedures through the trampoline pool. The result goes
// back in r0.
//
// The dispatchers live in their own section: a platform call made from
// there is a product library's call for the trace, fault injection and
// accounting, as a call from a native product library is. Each platform
// function is called through its own type.
#pragma once
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <tuple>
#include <type_traits>
#include <utility>

#include "cpu/layouts.h"
#include "cpu/machine.h"
#include "cpu/procs.h"

#define WINCE_GUEST_CALL __attribute__((section("wince_guest_calls"), noinline))

namespace wince::cpu {

template <class T> struct IsHandle : std::false_type {};
#define WINCE_HANDLE(T) template <> struct IsHandle<T> : std::true_type {};
WINCE_HANDLE(HWND) WINCE_HANDLE(HINSTANCE) WINCE_HANDLE(HKEY) WINCE_HANDLE(HDC) WINCE_HANDLE(HICON)
WINCE_HANDLE(HMENU) WINCE_HANDLE(HFONT) WINCE_HANDLE(HPEN) WINCE_HANDLE(HBRUSH) WINCE_HANDLE(HBITMAP)
WINCE_HANDLE(HRGN) WINCE_HANDLE(HRSRC) WINCE_HANDLE(HANDLE) WINCE_HANDLE(HGLOBAL_)
#undef WINCE_HANDLE

// Structures made only of 32-bit fields and bytes: alike on both sides.
template <class T> struct IsFlat : std::bool_constant<std::is_arithmetic_v<T> || std::is_enum_v<T> || std::is_void_v<T>> {};
#define WINCE_FLAT(T) template <> struct IsFlat<T> : std::true_type {};
WINCE_FLAT(RECT) WINCE_FLAT(POINT) WINCE_FLAT(SIZE) WINCE_FLAT(LOGFONTW) WINCE_FLAT(TEXTMETRICW)
WINCE_FLAT(SYSTEMTIME) WINCE_FLAT(TPMPARAMS) WINCE_FLAT(LOGPEN) WINCE_FLAT(LOGBRUSH) WINCE_FLAT(DLGTEMPLATE)
#undef WINCE_FLAT

inline int64_t widen(uint32_t w) { return static_cast<int32_t>(w); }

// One argument: made from its guest word before the call, `finish` after.
template <class T, class = void>
struct Arg {
  static_assert(sizeof(T) == 0, "no guest conversion for this parameter type: add it to the layout table or IsFlat");
};

template <class T>
struct Arg<T, std::enable_if_t<std::is_integral_v<T> || std::is_enum_v<T>>> {
  Arg(Machine&, uint32_t w)
      : v(static_cast<T>(std::is_signed_v<T> ? static_cast<T>(widen(w)) : static_cast<T>(w))) {}
  T get() const { return v; }
  void finish(Machine&) {}
  T v;
};

template <class T>
struct Arg<T, std::enable_if_t<IsHandle<T>::value || std::is_same_v<T, const void*>>> {
  Arg(Machine&, uint32_t w) : v(static_cast<T>(handleToHost(w))) {}
  T get() const { return v; }
  void finish(Machine&) {}
  T v;
};

// Pointers to what is alike on both sides: the guest pointer is the host's.
template <class T>
struct Arg<T*, std::enable_if_t<IsFlat<std::remove_cv_t<T>>::value && !std::is_void_v<T>>> {
  Arg(Machine&, uint32_t w) : v(reinterpret_cast<T*>(static_cast<uintptr_t>(w))) {}
  T* get() const { return v; }
  void finish(Machine&) {}
  T* v;
};

// Where the platform writes a handle (HKEY*): a host slot, its value
// written back as the guest's word.
template <class T>
struct Arg<T*, std::enable_if_t<IsHandle<T>::value>> {
  Arg(Machine&, uint32_t w) : guest(w) {
    if (w) std::memcpy(&word, Arena::host(w), 4), value = static_cast<T>(handleToHost(word));
  }
  T* get() { return guest ? &value : nullptr; }
  void finish(Machine&) {
    if (!guest) return;
    word = handleToGuest(value);
    std::memcpy(Arena::host(guest), &word, 4);
  }
  uint32_t guest;
  uint32_t word = 0;
  T value{};
};

// Structures of the layout table: a host copy for the call.
template <class T>
struct Arg<T*, std::enable_if_t<!IsFlat<std::remove_cv_t<T>>::value && !IsHandle<std::remove_cv_t<T>>::value &&
                                !IsHandle<T*>::value && !std::is_function_v<T>>> {
  static const StructLayout& layout() { return *layoutOf<std::remove_cv_t<T>>(); }
  Arg(Machine& m, uint32_t w) : guest(w) {
    static_assert(HasLayout<std::remove_cv_t<T>>::value,
                  "a structure with pointers or handles the layout table does not have");
    if (w) toHost(m, layout(), w, &value);
  }
  T* get() { return guest ? &value : nullptr; }
  void finish(Machine& m) {
    if (guest && !std::is_const_v<T>) toGuest(m, layout(), &value, guest, false);
  }
  uint32_t guest;
  std::remove_cv_t<T> value{};
};

// Security attributes: Windows CE ignores them (the guest passes NULL).
template <>
struct Arg<LPSECURITY_ATTRIBUTES> {
  Arg(Machine&, uint32_t) {}
  LPSECURITY_ATTRIBUTES get() const { return nullptr; }
  void finish(Machine&) {}
};

// Procedures: the trampoline of their type bound to the guest address.
template <class R, class... A>
struct Arg<R (*)(A...)> {
  Arg(Machine&, uint32_t w)
      : v(w ? reinterpret_cast<R (*)(A...)>(
                  hostProc(w, ProcSignature{ProcKind::Window, 0, {}, &ProcPool<R(A...)>::pointer}))
            : nullptr) {}
  R (*get() const)(A...) { return v; }
  void finish(Machine&) {}
  R (*v)(A...);
};

template <class R>
uint32_t resultWord(Machine& m, R r) {
  if constexpr (std::is_integral_v<R> || std::is_enum_v<R>) {
    (void)m;
    return static_cast<uint32_t>(r);
  } else {
    static_assert(std::is_pointer_v<R>);
    const auto v = reinterpret_cast<intptr_t>(r);
    if (v == widen(static_cast<uint32_t>(v))) return static_cast<uint32_t>(v);
    if constexpr (IsHandle<R>::value) return handleToGuest(r);
    m.platformFault("the platform answered a pointer the device cannot hold");
    return 0;
  }
}

template <class F> struct Signature;
template <class R, class... A> struct Signature<R (*)(A...)> {
  using Result = R;
  using Args = std::tuple<Arg<A>...>;
  static constexpr int count = sizeof...(A);
};

// The call of platform function F for guest code, through F's own type.
// Inlined into the function of the import table made for F
// (WINCE_GUEST_IMPORT), which lives in the dispatchers' section: the trace
// knows such calls by their return address. (GCC does not honour a
// template's section, hence the one plain function per import.)
#define WINCE_MARSHAL __attribute__((always_inline)) inline

template <auto F, size_t... I>
WINCE_MARSHAL uint32_t invoke(Machine& m, const GuestArgs& in, std::index_sequence<I...>) {
  using S = Signature<decltype(F)>;
  typename S::Args args{std::tuple_element_t<I, typename S::Args>(m, in.word(static_cast<int>(I)))...};
  // Run after F returns: the barrier keeps F from being a tail call (the
  // platform sees the dispatcher as its caller), then the arguments write
  // back what F left in them.
  auto finish = [&] {
    asm volatile("" ::: "memory");
    (std::get<I>(args).finish(m), ...);
  };
  if constexpr (std::is_void_v<typename S::Result>) {
    F(std::get<I>(args).get()...);
    finish();
    return 0;
  } else {
    const typename S::Result r = F(std::get<I>(args).get()...);
    finish();
    return resultWord(m, r);
  }
}

// The thunk's host side for platform function F.
template <auto F>
WINCE_MARSHAL uint32_t dispatch(Machine& m, const GuestArgs& in) {
  return invoke<F>(m, in, std::make_index_sequence<Signature<decltype(F)>::count>{});
}

// The message functions (SendMessageW, PostMessageW, DefWindowProcW): the
// messages of the table carry a structure in lParam, converted as one.
template <auto F>
WINCE_MARSHAL uint32_t dispatchMessage(Machine& m, const GuestArgs& in) {
  const HWND hwnd = static_cast<HWND>(handleToHost(in.word(0)));
  const UINT message = in.word(1);
  const WPARAM wParam = in.word(2);
  LPARAM lParam = static_cast<LPARAM>(lParamFromGuest(in.word(3)));
  const MessageParam* p = messageParam(message);
  alignas(16) unsigned char host[1024];
  const uint32_t guestStruct = in.word(3);
  if (p && guestStruct) {
    toHost(m, *p->lparam, guestStruct, host);
    lParam = reinterpret_cast<LPARAM>(host);
  }
  const auto r = static_cast<LRESULT>(F(hwnd, message, wParam, lParam));
  asm volatile("" ::: "memory");
  if (p && guestStruct && p->writesBack) toGuest(m, *p->lparam, host, guestStruct, false);
  return static_cast<uint32_t>(r);
}

// The import table's function for platform function `f`, marshalled by
// `how` (dispatch or dispatchMessage): a plain function of the section.
#define WINCE_GUEST_IMPORT(how, f) \
  +[](::wince::cpu::Machine& m, const ::wince::cpu::GuestArgs& in) WINCE_GUEST_CALL -> uint32_t { \
    return ::wince::cpu::how<&f>(m, in);                                                         \
  }

}  // namespace wince::cpu
