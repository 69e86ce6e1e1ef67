// Dialog templates: DLGTEMPLATE and DLGTEMPLATEEX with their items, and the
// dialog base units of a font.
#include <windows.h>

#include <cstdint>
#include <cstring>

#include "user/dialog.h"

namespace wince {

namespace {

// Reads little-endian words out of a template, never past its end.
class Reader {
 public:
  Reader(const void* data, size_t size) : base_(static_cast<const unsigned char*>(data)), size_(size) {}
  bool ok() const { return ok_; }
  size_t offset() const { return pos_; }
  const unsigned char* here() const { return base_ + pos_; }

  WORD word() {
    if (!need(2)) return 0;
    WORD w = static_cast<WORD>(base_[pos_] | (base_[pos_ + 1] << 8));
    pos_ += 2;
    return w;
  }
  DWORD dword() {
    DWORD lo = word();
    DWORD hi = word();
    return lo | (hi << 16);
  }
  short sword() { return static_cast<short>(word()); }
  BYTE byte() {
    if (!need(1)) return 0;
    return base_[pos_++];
  }
  std::u16string string() {
    std::u16string s;
    for (WORD c = word(); ok_ && c; c = word()) s += static_cast<char16_t>(c);
    return s;
  }
  // A name field: 0x0000 none, 0xFFFF then an ordinal, or a string.
  void name(WORD& ordinal, std::u16string& text, bool* present = nullptr) {
    WORD first = word();
    if (present) *present = first != 0;
    if (first == 0) return;
    if (first == 0xFFFF) {
      ordinal = word();
      return;
    }
    text += static_cast<char16_t>(first);
    text += string();
  }
  // Items start on a DWORD boundary of memory, as the platform aligns them.
  void alignDword() {
    auto addr = reinterpret_cast<uintptr_t>(base_ + pos_);
    size_t pad = (4 - addr % 4) % 4;
    if (need(pad)) pos_ += pad;
  }
  void skip(size_t n) {
    if (need(n)) pos_ += n;
  }

 private:
  bool need(size_t n) {
    if (!ok_ || size_ - pos_ < n) {
      ok_ = false;
      return false;
    }
    return true;
  }
  const unsigned char* base_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace

bool parseDialogTemplate(const void* data, size_t size, DialogTemplate& t) {
  if (!data) return false;
  Reader r(data, size);
  t = DialogTemplate{};
  WORD count = 0;
  {
    Reader probe(data, size);
    WORD version = probe.word();
    WORD signature = probe.word();
    t.extended = probe.ok() && version == 1 && signature == 0xFFFF;
  }
  if (t.extended) {
    r.skip(4);  // version and signature
    r.dword();  // help id
    t.exStyle = r.dword();
    t.style = r.dword();
  } else {
    t.style = r.dword();
    t.exStyle = r.dword();
  }
  count = r.word();
  t.x = r.sword();
  t.y = r.sword();
  t.cx = r.sword();
  t.cy = r.sword();
  WORD menuOrdinal = 0;
  std::u16string menuName;
  r.name(menuOrdinal, menuName, &t.hasMenu);
  r.name(t.classOrdinal, t.className);
  t.title = r.string();
  if (t.style & DS_SETFONT) {
    t.pointSize = r.word();
    if (t.extended) {
      t.weight = r.word();
      t.italic = r.byte();
      r.byte();  // character set
    }
    t.face = r.string();
  }
  for (WORD i = 0; i < count && r.ok(); ++i) {
    r.alignDword();
    DialogItem item;
    if (t.extended) {
      r.dword();  // help id
      item.exStyle = r.dword();
      item.style = r.dword();
    } else {
      item.style = r.dword();
      item.exStyle = r.dword();
    }
    item.x = r.sword();
    item.y = r.sword();
    item.cx = r.sword();
    item.cy = r.sword();
    item.id = t.extended ? r.dword() : r.word();
    r.name(item.classOrdinal, item.className);
    Reader before = r;
    WORD first = before.word();
    if (first == 0xFFFF) {
      r.word();
      item.titleIsOrdinal = true;
      item.titleOrdinal = r.word();
    } else {
      item.title = r.string();
    }
    const unsigned char* extra = r.here();
    WORD extraSize = r.word();
    if (extraSize) {
      // The control gets a pointer to the size word; the count is of the
      // bytes after it.
      item.creationData = extra;
      r.skip(extraSize);
    }
    t.items.push_back(std::move(item));
  }
  return r.ok();
}

int mulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  long long p = static_cast<long long>(a) * b;
  long long half = (c > 0 ? c : -c) / 2;
  bool negative = (p < 0) != (c < 0);
  long long q = ((p < 0 ? -p : p) + half) / (c < 0 ? -static_cast<long long>(c) : c);
  return static_cast<int>(negative ? -q : q);
}

int dialogUnitsX(int v, const SIZE& base) { return mulDiv(v, base.cx, 4); }
int dialogUnitsY(int v, const SIZE& base) { return mulDiv(v, base.cy, 8); }

SIZE fontBaseUnits(HFONT font) {
  static const char16_t kAlphabet[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  SIZE sz{};
  GetTextExtentPoint32W(dc, kAlphabet, 52, &sz);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  if (old) SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return SIZE{(sz.cx / 26 + 1) / 2, tm.tmHeight};
}

}  // namespace wince
