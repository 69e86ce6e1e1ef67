// The one table of conversions between the guest's 32-bit layouts and the
// host's: the structures that hold pointers or handles (the others are the
// same on both sides and pass as they are), and the messages whose
// parameters point at such structures.
#pragma once
#include <windows.h>
#include <aygshell.h>
#include <commdlg.h>
#include <shellapi.h>
#include <todaycmn.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace wince::cpu {

class Machine;

// What a guest procedure is, so that its calls can be converted: a window
// or dialog procedure (messages), the Today item's create export, or a
// plain export of words and strings.
enum class ProcKind : uint8_t { Window, TodayCreate, Words };

enum class FieldKind : uint8_t {
  Word,     // 32 bits on both sides (int, DWORD, BOOL, LONG, enums)
  Half,     // 16 bits
  Pointer,  // a pointer or handle: 4 bytes on the guest, 8 on the host
  String,   // a pointer to a UTF-16 string the guest may need a copy of
  Proc,     // a window procedure: a guest address on the guest, a host trampoline on the host
  Bytes,    // bytes alike on both sides (character arrays, RECT, POINT)
  Size,     // the structure's own size (cbSize): the guest's size on the guest, the host's on the host
};

struct Field {
  FieldKind kind;
  uint16_t host;   // offset in the host structure
  uint16_t size;   // Bytes: how many
  uint8_t align;   // Bytes: their alignment on the guest
  uint16_t guest;  // offset in the guest structure (computed)
};

struct StructLayout {
  StructLayout(const char* name, size_t hostSize, std::initializer_list<Field> fields);
  const char* name;
  uint16_t hostSize;
  uint16_t guestSize;
  std::vector<Field> fields;
};

// The layout of a structure of the table, or null for the other types.
template <class T>
const StructLayout* layoutOf() {
  return nullptr;
}
template <class T>
struct HasLayout {
  static constexpr bool value = false;
};
#define WINCE_GUEST_LAYOUT(T) \
  template <>                 \
  const StructLayout* layoutOf<T>(); \
  template <>                 \
  struct HasLayout<T> {       \
    static constexpr bool value = true; \
  };
WINCE_GUEST_LAYOUT(WNDCLASSW)
WINCE_GUEST_LAYOUT(CREATESTRUCTW)
WINCE_GUEST_LAYOUT(PAINTSTRUCT)
WINCE_GUEST_LAYOUT(MSG)
WINCE_GUEST_LAYOUT(TODAYLISTITEM)
WINCE_GUEST_LAYOUT(SHELLEXECUTEINFO)
WINCE_GUEST_LAYOUT(OPENFILENAMEW)
WINCE_GUEST_LAYOUT(SHINITDLGINFO)
WINCE_GUEST_LAYOUT(SHRGINFO)
WINCE_GUEST_LAYOUT(TODAYDRAWWATERMARKINFO)
#undef WINCE_GUEST_LAYOUT

// Guest bytes at `guest` -> host structure.
void toHost(Machine& m, const StructLayout& l, uint32_t guest, void* host);
// Host structure -> guest bytes at `guest`. Strings outside guest memory
// are copied to the next call's stack when `scratch` (a host->guest call
// being prepared), else the call faults.
void toGuest(Machine& m, const StructLayout& l, const void* host, uint32_t guest, bool scratch);

// The structure a message's lParam points at, if any, and whether the
// receiver writes it back (the Today shell's refresh query).
struct MessageParam {
  UINT message;
  const StructLayout* lparam;
  bool writesBack;
};
const MessageParam* messageParam(UINT message);

}  // namespace wince::cpu
