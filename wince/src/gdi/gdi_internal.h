// Inside of the graphics library: object and DC tables, the font engine and
// the clip-aware canvas every drawing call goes through.
#pragma once
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "device.h"
#include "gdi/gdi_state.h"
#include "gdi/handle_table.h"

typedef struct FT_LibraryRec_* FT_Library;
typedef struct FT_FaceRec_* FT_Face;

namespace wince {

// ---- Fonts ---------------------------------------------------------------

// A font realised at a pixel size: what GetTextMetrics reports plus what the
// rasteriser needs to draw it.
struct FontMetrics {
  int height = 0;  // ascent + descent: the text cell height
  int ascent = 0;
  int descent = 0;
  int internalLeading = 0;
  int externalLeading = 0;
  int aveCharWidth = 0;
  int maxCharWidth = 0;
  int underlinePos = 0;  // below the baseline, pixels
  int underlineThickness = 1;
  long size26_6 = 0;  // em size handed to FreeType, 1/64 pixel
};

// One coverage bitmap of a glyph, positioned relative to the pen on the
// baseline.
struct GlyphImage {
  int left = 0;  // from the pen x to the first column
  int top = 0;   // from the baseline up to the first row
  int width = 0;
  int height = 0;
  int advance = 0;  // whole pixels
  std::vector<uint8_t> coverage;
};

// The glyphs of one face at one size, each kept in place once rendered, so
// that a reference to one stays good: those of Latin-1 found by index, the
// others through a hash table.
class GlyphStrike {
 public:
  GlyphStrike(bool bold, long size26_6) : bold_(bold), size26_6_(size26_6) {}
  bool is(bool bold, long size26_6) const { return bold_ == bold && size26_6_ == size26_6; }
  bool bold() const { return bold_; }
  long size26_6() const { return size26_6_; }
  const GlyphImage* find(char16_t ch) const {
    if (ch < kLatin) return latin_[ch].get();
    auto it = others_.find(ch);
    return it == others_.end() ? nullptr : &it->second;
  }
  const GlyphImage& add(char16_t ch, GlyphImage g);

 private:
  static constexpr char16_t kLatin = 256;
  bool bold_;
  long size26_6_;
  std::unique_ptr<GlyphImage> latin_[kLatin];
  std::unordered_map<char16_t, GlyphImage> others_;  // references survive rehashing
};

// FreeType faces, loaded once per file and freed with the engine.
class FontEngine {
 public:
  FontEngine();
  ~FontEngine();
  FontEngine(const FontEngine&) = delete;
  FontEngine& operator=(const FontEngine&) = delete;

  // Realises a logical font at the screen's dpi. Never fails for a sane
  // LOGFONTW: every face maps to the bundled sans-serif.
  FontMetrics realise(const LOGFONTW& lf, int dpi);
  // The glyphs of a realised font: found once for a run of text, then
  // looked up character by character.
  GlyphStrike& strike(const LOGFONTW& lf, const FontMetrics& m);
  const GlyphImage& glyph(GlyphStrike& strike, char16_t ch) {
    const GlyphImage* g = strike.find(ch);
    return g ? *g : render(strike, ch);
  }
  const GlyphImage& glyph(const LOGFONTW& lf, const FontMetrics& m, char16_t ch) { return glyph(strike(lf, m), ch); }
  int advance(const LOGFONTW& lf, const FontMetrics& m, char16_t ch) { return glyph(lf, m, ch).advance; }

 private:
  FT_Face face(bool bold);
  const GlyphImage& render(GlyphStrike& strike, char16_t ch);
  FT_Library library_ = nullptr;
  FT_Face faces_[2] = {nullptr, nullptr};
  std::vector<std::unique_ptr<GlyphStrike>> strikes_;
  GlyphStrike* lastStrike_ = nullptr;
};

// ---- Objects and DCs -----------------------------------------------------

enum class GdiKind { Font, Pen, Brush };

struct GdiObject {
  GdiKind kind = GdiKind::Brush;
  bool stock = false;
  LOGFONTW font{};
  LOGPEN pen{};
  bool nullBrush = false;
  COLORREF brushColor = 0;
  // Realised font, made on first use.
  bool realised = false;
  FontMetrics metrics;
};

struct DcState {
  POINT origin{0, 0};
  std::vector<RECT> clip;  // screen coordinates; a pixel is drawable when any holds it
  HGDIOBJ font = nullptr;
  HGDIOBJ pen = nullptr;
  HGDIOBJ brush = nullptr;
  COLORREF textColor = 0x00000000;
  COLORREF bkColor = 0x00FFFFFF;
  int bkMode = OPAQUE;
};

// A few rectangles kept in place, more on the heap: a DC's clip is one or
// a handful of rectangles, and a drawing call should not allocate for it.
class RectList {
 public:
  RectList() = default;
  RectList(const RectList& o) { *this = o; }
  RectList& operator=(const RectList& o) {
    if (this == &o) return *this;
    n_ = 0;
    heap_.clear();
    for (const RECT& r : o) push_back(r);
    return *this;
  }
  void push_back(const RECT& r) {
    if (n_ < kInline) {
      inline_[n_] = r;
    } else {
      if (n_ == kInline) heap_.assign(inline_, inline_ + kInline);
      heap_.push_back(r);
    }
    ++n_;
  }
  const RECT* begin() const { return n_ <= kInline ? inline_ : heap_.data(); }
  const RECT* end() const { return begin() + n_; }
  int size() const { return n_; }
  bool empty() const { return n_ == 0; }

 private:
  static constexpr int kInline = 6;
  RECT inline_[kInline];
  std::vector<RECT> heap_;
  int n_ = 0;
};

inline COLORREF toColorRef(uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }
inline uint32_t toScreen(COLORREF c) {
  return (static_cast<uint32_t>(GetRValue(c)) << 16) | (static_cast<uint32_t>(GetGValue(c)) << 8) | GetBValue(c);
}

// src (0x00RRGGBB) over dst at alpha 1..254, each channel rounded to the
// nearest: (s * a + d * (255 - a) + 127) / 255. Red and blue go together in
// the two 16-bit halves of one word, and x / 255 is (x + 1 + (x >> 8)) >> 8,
// exact for every x these sums reach.
inline uint32_t blendPixel(uint32_t dst, uint32_t src, int alpha) {
  const uint32_t a = static_cast<uint32_t>(alpha), b = 255 - a;
  uint32_t rb = (src & 0xFF00FF) * a + (dst & 0xFF00FF) * b + 0x7F007F;
  uint32_t g = ((src >> 8) & 0xFF) * a + ((dst >> 8) & 0xFF) * b + 0x7F;
  rb = ((rb + 0x10001 + ((rb >> 8) & 0xFF00FF)) >> 8) & 0xFF00FF;
  g = ((g + 1 + (g >> 8)) >> 8) & 0xFF;
  return rb | g << 8;
}

// Where one drawing call may put pixels: a DC's clip, narrowed to the screen
// and optionally to one more rectangle, with the DC's origin applied. Calls
// that draw areas (fills, icons, glyphs) clip once per rectangle with
// `clipped` and then write whole row spans; `put` is for single points.
class Canvas {
 public:
  Canvas(Screen& screen, const DcState& dc);
  // Narrows the drawable area to a logical rectangle.
  void restrict(const RECT& logical);
  // Logical -> screen.
  int sx(int x) const { return x + origin_.x; }
  int sy(int y) const { return y + origin_.y; }
  bool visible(int screenX, int screenY) const;
  // Logical coordinates; colour as COLORREF; alpha 0..255 blends over what
  // is there.
  void put(int x, int y, COLORREF color, int alpha = 255);
  void fill(const RECT& logical, COLORREF color);
  // Screen pixel as COLORREF.
  COLORREF get(int x, int y) const;
  // Screen row y.
  uint32_t* row(int y) { return &screen_.pixels[static_cast<size_t>(y) * screen_.width]; }
  // Calls f(part) for each part of a logical rectangle that may be drawn, in
  // screen coordinates; the parts never overlap, so each pixel is drawn once.
  template <class F>
  void clipped(const RECT& logical, F&& f) {
    const RECT s{sx(logical.left), sy(logical.top), sx(logical.right), sy(logical.bottom)};
    if (overlapping_) {
      // Clip rectangles that overlap: one pixel at a time, as put does.
      for (int y = s.top; y < s.bottom; ++y)
        for (int x = s.left; x < s.right; ++x)
          if (visible(x, y)) f(RECT{x, y, x + 1, y + 1});
      return;
    }
    for (const RECT& r : clip_) {
      const RECT c{std::max(r.left, s.left), std::max(r.top, s.top), std::min(r.right, s.right),
                   std::min(r.bottom, s.bottom)};
      if (c.left < c.right && c.top < c.bottom) f(c);
    }
  }

 private:
  void noteOverlaps();
  Screen& screen_;
  POINT origin_;
  RectList clip_;
  bool overlapping_ = false;
};

struct GdiState::Impl {
  Impl();
  ~Impl();

  HandleTable<GdiObject> objects{1};
  HandleTable<DcState> dcs{2};
  HGDIOBJ stock[DEFAULT_GUI_FONT + 1] = {};
  FontEngine fonts;

  GdiObject* object(HGDIOBJ h);
  DcState* dc(HDC h);
  // Files an object under a new handle; stock objects are not counted
  // against the program's live objects. Null when the table is full.
  HGDIOBJ add(GdiObject o, bool isStock = false);
  // The object `h` names when it is of `kind`, otherwise the stock object
  // at `stockIndex`: what a DC draws with when its selection is gone.
  GdiObject& selected(HGDIOBJ h, GdiKind kind, int stockIndex);
  // A font object realised for the screen, and the object of a DC's font.
  const FontMetrics& metrics(GdiObject& font);
  GdiObject& dcFont(DcState& dc);
  bool selectedAnywhere(HGDIOBJ h) const;
};

struct GdiAccess {
  using Impl = GdiState::Impl;
  static Impl& impl(GdiState& g) { return *g.impl_; }
};
using GdiImpl = GdiAccess::Impl;

// The running device's graphics state.
inline GdiImpl& gdiImpl() { return GdiAccess::impl(Device::current().gdi()); }

// Text drawing shared by ExtTextOutW and DrawTextW: draws `text` with its
// cell's top-left at logical (x, y). `underlineAt` (index or -1) underlines
// one character as for a mnemonic prefix.
void drawTextRun(Canvas& canvas, DcState& dc, const std::u16string& text, int x, int y, const INT* dx,
                 int underlineAt = -1);
int textWidth(DcState& dc, const std::u16string& text);

}  // namespace wince
