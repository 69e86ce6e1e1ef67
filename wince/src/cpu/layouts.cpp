#include "cpu/layouts.h"

#include <cstddef>
#include <cstring>
#include <string>

#include "cpu/machine.h"
#include "cpu/procs.h"

namespace wince::cpu {

namespace {
constexpr uint16_t guestSizeOf(FieldKind k) { return k == FieldKind::Half ? 2 : 4; }

#define WORD_(S, f) Field{FieldKind::Word, offsetof(S, f), 4, 4, 0}
#define HALF_(S, f) Field{FieldKind::Half, offsetof(S, f), 2, 2, 0}
#define PTR_(S, f) Field{FieldKind::Pointer, offsetof(S, f), 4, 4, 0}
#define STR_(S, f) Field{FieldKind::String, offsetof(S, f), 4, 4, 0}
#define PROC_(S, f) Field{FieldKind::Proc, offsetof(S, f), 4, 4, 0}
#define SIZE_(S, f) Field{FieldKind::Size, offsetof(S, f), 4, 4, 0}
#define BYTES_(S, f, a) Field{FieldKind::Bytes, offsetof(S, f), sizeof(S::f), a, 0}

int64_t widen(uint32_t w) { return static_cast<int32_t>(w); }
uint32_t load32(uint32_t a) {
  uint32_t v;
  std::memcpy(&v, Arena::host(a), 4);
  return v;
}
void store32(uint32_t a, uint32_t v) { std::memcpy(Arena::host(a), &v, 4); }
}  // namespace

StructLayout::StructLayout(const char* n, size_t size, std::initializer_list<Field> list)
    : name(n), hostSize(static_cast<uint16_t>(size)), fields(list) {
  // The guest lays the fields out in order, each at its natural alignment,
  // the whole padded to 4 bytes: as the device's compiler does.
  uint32_t at = 0;
  for (Field& f : fields) {
    const uint32_t a = f.kind == FieldKind::Bytes ? f.align : guestSizeOf(f.kind);
    at = (at + a - 1) & ~(a - 1);
    f.guest = static_cast<uint16_t>(at);
    at += f.kind == FieldKind::Bytes ? f.size : guestSizeOf(f.kind);
  }
  guestSize = static_cast<uint16_t>((at + 3) & ~3u);
}

template <>
const StructLayout* layoutOf<WNDCLASSW>() {
  using S = WNDCLASSW;
  static const StructLayout l("WNDCLASSW", sizeof(S),
                              {WORD_(S, style), PROC_(S, lpfnWndProc), WORD_(S, cbClsExtra), WORD_(S, cbWndExtra),
                               PTR_(S, hInstance), PTR_(S, hIcon), PTR_(S, hCursor), PTR_(S, hbrBackground),
                               PTR_(S, lpszMenuName), PTR_(S, lpszClassName)});
  return &l;
}

template <>
const StructLayout* layoutOf<CREATESTRUCTW>() {
  using S = CREATESTRUCTW;
  static const StructLayout l("CREATESTRUCTW", sizeof(S),
                              {PTR_(S, lpCreateParams), PTR_(S, hInstance), PTR_(S, hMenu), PTR_(S, hwndParent),
                               WORD_(S, cy), WORD_(S, cx), WORD_(S, y), WORD_(S, x), WORD_(S, style),
                               STR_(S, lpszName), STR_(S, lpszClass), WORD_(S, dwExStyle)});
  return &l;
}

template <>
const StructLayout* layoutOf<PAINTSTRUCT>() {
  using S = PAINTSTRUCT;
  static const StructLayout l("PAINTSTRUCT", sizeof(S),
                              {PTR_(S, hdc), WORD_(S, fErase), BYTES_(S, rcPaint, 4), WORD_(S, fRestore),
                               WORD_(S, fIncUpdate), BYTES_(S, rgbReserved, 1)});
  return &l;
}

template <>
const StructLayout* layoutOf<MSG>() {
  using S = MSG;
  static const StructLayout l("MSG", sizeof(S),
                              {PTR_(S, hwnd), WORD_(S, message), WORD_(S, wParam), PTR_(S, lParam), WORD_(S, time),
                               BYTES_(S, pt, 4)});
  return &l;
}

template <>
const StructLayout* layoutOf<TODAYLISTITEM>() {
  using S = TODAYLISTITEM;
  static const StructLayout l("TODAYLISTITEM", sizeof(S),
                              {BYTES_(S, szName, 2), WORD_(S, tlit), WORD_(S, dwOrder), WORD_(S, cyp),
                               WORD_(S, fEnabled), WORD_(S, fOptions), WORD_(S, grfFlags), BYTES_(S, szDLLPath, 2),
                               PTR_(S, hinstDLL), PTR_(S, hwndCustom), WORD_(S, fSizeOnDraw),
                               PTR_(S, prgbCachedData), WORD_(S, cbCachedData)});
  return &l;
}

template <>
const StructLayout* layoutOf<SHELLEXECUTEINFO>() {
  using S = SHELLEXECUTEINFO;
  static const StructLayout l("SHELLEXECUTEINFO", sizeof(S),
                              {SIZE_(S, cbSize), WORD_(S, fMask), PTR_(S, hwnd), STR_(S, lpVerb), STR_(S, lpFile),
                               STR_(S, lpParameters), STR_(S, lpDirectory), WORD_(S, nShow), PTR_(S, hInstApp),
                               PTR_(S, lpIDList), STR_(S, lpClass), PTR_(S, hkeyClass), WORD_(S, dwHotKey),
                               PTR_(S, hIcon), PTR_(S, hProcess)});
  return &l;
}

template <>
const StructLayout* layoutOf<OPENFILENAMEW>() {
  using S = OPENFILENAMEW;
  static const StructLayout l(
      "OPENFILENAMEW", sizeof(S),
      {SIZE_(S, lStructSize), PTR_(S, hwndOwner), PTR_(S, hInstance), STR_(S, lpstrFilter), PTR_(S, lpstrCustomFilter),
       WORD_(S, nMaxCustFilter), WORD_(S, nFilterIndex), PTR_(S, lpstrFile), WORD_(S, nMaxFile),
       PTR_(S, lpstrFileTitle), WORD_(S, nMaxFileTitle), STR_(S, lpstrInitialDir), STR_(S, lpstrTitle),
       WORD_(S, Flags), HALF_(S, nFileOffset), HALF_(S, nFileExtension), STR_(S, lpstrDefExt), PTR_(S, lCustData),
       PTR_(S, lpfnHook), STR_(S, lpTemplateName)});
  return &l;
}

template <>
const StructLayout* layoutOf<SHINITDLGINFO>() {
  using S = SHINITDLGINFO;
  static const StructLayout l("SHINITDLGINFO", sizeof(S), {WORD_(S, dwMask), PTR_(S, hDlg), WORD_(S, dwFlags)});
  return &l;
}

template <>
const StructLayout* layoutOf<SHRGINFO>() {
  using S = SHRGINFO;
  static const StructLayout l("SHRGINFO", sizeof(S),
                              {SIZE_(S, cbSize), PTR_(S, hwndClient), BYTES_(S, ptDown, 4), WORD_(S, dwFlags)});
  return &l;
}

template <>
const StructLayout* layoutOf<TODAYDRAWWATERMARKINFO>() {
  using S = TODAYDRAWWATERMARKINFO;
  static const StructLayout l("TODAYDRAWWATERMARKINFO", sizeof(S),
                              {PTR_(S, hdc), BYTES_(S, rc, 4), PTR_(S, hwnd)});
  return &l;
}

void toHost(Machine&, const StructLayout& l, uint32_t guest, void* host) {
  auto* h = static_cast<unsigned char*>(host);
  std::memset(h, 0, l.hostSize);
  for (const Field& f : l.fields) {
    const uint32_t at = guest + f.guest;
    switch (f.kind) {
      case FieldKind::Word: std::memcpy(h + f.host, Arena::host(at), 4); break;
      case FieldKind::Half: std::memcpy(h + f.host, Arena::host(at), 2); break;
      case FieldKind::Bytes: std::memcpy(h + f.host, Arena::host(at), f.size); break;
      case FieldKind::Size: {
        // A guest that gave its own size gave the right one: the host's is
        // what the platform checks. Any other size stays wrong.
        uint32_t v = load32(at);
        if (v == l.guestSize) v = l.hostSize;
        std::memcpy(h + f.host, &v, 4);
        break;
      }
      case FieldKind::Pointer: {
        // A handle the platform made above 2 GB went to the guest as a
        // token (handleToGuest); any other word is the guest's pointer.
        const void* v = handleToHost(load32(at));
        std::memcpy(h + f.host, &v, 8);
        break;
      }
      case FieldKind::String: {
        const int64_t v = widen(load32(at));
        std::memcpy(h + f.host, &v, 8);
        break;
      }
      case FieldKind::Proc: {
        const uint32_t code = load32(at);
        void* p = code ? hostProc(code, ProcSignature{ProcKind::Window}) : nullptr;
        std::memcpy(h + f.host, &p, 8);
        break;
      }
    }
  }
}

void toGuest(Machine& m, const StructLayout& l, const void* host, uint32_t guest, bool scratch) {
  auto* h = static_cast<const unsigned char*>(host);
  std::memset(Arena::host(guest), 0, l.guestSize);
  for (const Field& f : l.fields) {
    const uint32_t at = guest + f.guest;
    switch (f.kind) {
      case FieldKind::Word: std::memcpy(Arena::host(at), h + f.host, 4); break;
      case FieldKind::Half: std::memcpy(Arena::host(at), h + f.host, 2); break;
      case FieldKind::Bytes: std::memcpy(Arena::host(at), h + f.host, f.size); break;
      case FieldKind::Size: {
        uint32_t v;
        std::memcpy(&v, h + f.host, 4);
        store32(at, v == l.hostSize ? l.guestSize : v);
        break;
      }
      case FieldKind::Pointer:
      case FieldKind::String: {
        int64_t v;
        std::memcpy(&v, h + f.host, 8);
        const bool inGuest = v == widen(static_cast<uint32_t>(v));
        if (inGuest) {
          store32(at, static_cast<uint32_t>(v));
        } else if (f.kind == FieldKind::Pointer) {
          // A handle (a DC of a late generation) the guest holds as a
          // token; a host pointer it holds so only to hand it back.
          store32(at, handleToGuest(reinterpret_cast<const void*>(v)));
        } else if (f.kind == FieldKind::String && v > 0xFFFF && scratch) {
          const auto* s = reinterpret_cast<const char16_t*>(v);
          size_t n = 0;
          while (s[n]) ++n;
          store32(at, m.pushScratch(s, static_cast<uint32_t>((n + 1) * 2)));
        } else {
          m.platformFault(std::string("a ") + l.name + " the device cannot hold (a pointer above 4 GB)");
          return;
        }
        break;
      }
      case FieldKind::Proc: {
        void* p;
        std::memcpy(&p, h + f.host, 8);
        const uint32_t code = guestProc(p);
        if (p && !code) {
          m.platformFault(std::string("a ") + l.name + " whose procedure is the platform's own");
          return;
        }
        store32(at, code);
        break;
      }
    }
  }
}

const MessageParam* messageParam(UINT message) {
  constexpr UINT kNcCreate = 0x0081;  // WM_NCCREATE
  static const MessageParam table[] = {
      {WM_CREATE, layoutOf<CREATESTRUCTW>(), false},
      {kNcCreate, layoutOf<CREATESTRUCTW>(), false},
      {WM_TODAYCUSTOM_CLEARCACHE, layoutOf<TODAYLISTITEM>(), false},
      {WM_TODAYCUSTOM_QUERYREFRESHCACHE, layoutOf<TODAYLISTITEM>(), true},
      // The item asks the Today screen to draw its background under it.
      {TODAYM_DRAWWATERMARK, layoutOf<TODAYDRAWWATERMARKINFO>(), false},
  };
  for (const MessageParam& p : table)
    if (p.message == message) return &p;
  return nullptr;
}

}  // namespace wince::cpu
