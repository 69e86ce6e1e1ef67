// The font engine: every face the product asks for is drawn with Tahoma
// (Wine's free one, regular and bold) through FreeType.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>

#include "device_error.h"
#include "gdi/gdi_internal.h"

namespace wince {

namespace {
const char* const kFontFiles[2] = {CRESTUNE_FONT_DIR "/tahoma.ttf", CRESTUNE_FONT_DIR "/tahomabd.ttf"};

bool isBold(const LOGFONTW& lf) { return lf.lfWeight >= FW_SEMIBOLD; }

// The tallest font the engine draws, in pixels: a taller one is drawn at
// this height, which is already taller than a VGA device's screen. A glyph's
// bitmap grows with the square of its height, and a dialog template or a
// LOGFONTW may ask for tens of thousands of pixels.
constexpr LONG kTallestFont = 640;
}  // namespace

FontEngine::FontEngine() {
  if (FT_Init_FreeType(&library_) != 0) throw DeviceError("the font engine cannot start");
}

FontEngine::~FontEngine() {
  for (FT_Face f : faces_)
    if (f) FT_Done_Face(f);
  FT_Done_FreeType(library_);
}

FT_Face FontEngine::face(bool bold) {
  FT_Face& f = faces_[bold ? 1 : 0];
  if (!f && FT_New_Face(library_, kFontFiles[bold ? 1 : 0], 0, &f) != 0) {
    f = nullptr;
    throw DeviceError(std::string("cannot load the font ") + kFontFiles[bold ? 1 : 0]);
  }
  return f;
}

FontMetrics FontEngine::realise(const LOGFONTW& asked, int dpi) {
  LOGFONTW lf = asked;
  lf.lfHeight = std::clamp(lf.lfHeight, -kTallestFont, kTallestFont);
  FT_Face f = face(isBold(lf));
  const double upem = f->units_per_EM;
  // Ascent and descent as Windows takes them: the OS/2 table's "Win"
  // values, which reach the tallest accent; the horizontal header's when
  // a face has no OS/2 table.
  auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
  const bool win = os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0;
  const double asc = win ? os2->usWinAscent : f->ascender;
  const double desc = win ? os2->usWinDescent : -f->descender;
  FontMetrics m;
  double em;  // pixels
  if (lf.lfHeight > 0) {
    // Cell height: ascent + descent is exactly what was asked.
    em = lf.lfHeight * upem / (asc + desc);
    m.height = lf.lfHeight;
    m.ascent = static_cast<int>(std::lround(lf.lfHeight * asc / (asc + desc)));
    m.descent = m.height - m.ascent;
  } else {
    // Character height, or the system font's size for 0.
    em = lf.lfHeight < 0 ? -static_cast<double>(lf.lfHeight) : 12.0 * dpi / 96;
    m.ascent = static_cast<int>(std::lround(asc * em / upem));
    m.descent = static_cast<int>(std::lround(desc * em / upem));
    m.height = m.ascent + m.descent;
  }
  em = std::max(em, 1.0);
  const double scale = em / upem;
  m.size26_6 = std::lround(em * 64);
  m.internalLeading = std::max(0, m.height - static_cast<int>(std::lround(em)));
  m.externalLeading = std::max(0, static_cast<int>(std::lround((f->height - asc - desc) * scale)));
  m.aveCharWidth = std::max(1, static_cast<int>(std::lround((os2 ? os2->xAvgCharWidth : upem / 2) * scale)));
  m.maxCharWidth = std::max(1, static_cast<int>(std::lround(f->max_advance_width * scale)));
  m.underlinePos = std::clamp(static_cast<int>(std::lround(-f->underline_position * scale)), 1, std::max(1, m.descent - 1));
  m.underlineThickness = std::max(1, static_cast<int>(std::lround(f->underline_thickness * scale)));
  return m;
}

const GlyphImage& GlyphStrike::add(char16_t ch, GlyphImage g) {
  if (ch < kLatin) return *(latin_[ch] = std::make_unique<GlyphImage>(std::move(g)));
  return others_.insert_or_assign(ch, std::move(g)).first->second;
}

GlyphStrike& FontEngine::strike(const LOGFONTW& lf, const FontMetrics& m) {
  const bool bold = isBold(lf);
  if (lastStrike_ && lastStrike_->is(bold, m.size26_6)) return *lastStrike_;
  auto it = std::find_if(strikes_.begin(), strikes_.end(), [&](const auto& s) { return s->is(bold, m.size26_6); });
  if (it == strikes_.end()) it = strikes_.insert(it, std::make_unique<GlyphStrike>(bold, m.size26_6));
  return *(lastStrike_ = it->get());
}

const GlyphImage& FontEngine::render(GlyphStrike& strike, char16_t ch) {
  GlyphImage g;
  if (ch >= 0x20) {
    FT_Face f = face(strike.bold());
    if (FT_Set_Char_Size(f, 0, strike.size26_6(), 72, 72) == 0 && FT_Load_Char(f, ch, FT_LOAD_RENDER) == 0) {
      FT_GlyphSlot s = f->glyph;
      g.advance = static_cast<int>((s->advance.x + 32) >> 6);
      g.left = s->bitmap_left;
      g.top = s->bitmap_top;
      const FT_Bitmap& b = s->bitmap;
      // Tahoma carries hand-tuned bitmaps for the small sizes, one bit a
      // pixel, and draws them as Windows does; other sizes are outlines
      // anti-aliased in grey.
      const bool mono = b.pixel_mode == FT_PIXEL_MODE_MONO;
      if (mono || b.pixel_mode == FT_PIXEL_MODE_GRAY) {
        g.width = static_cast<int>(b.width);
        g.height = static_cast<int>(b.rows);
        g.coverage.resize(static_cast<size_t>(g.width) * g.height);
        for (int y = 0; y < g.height; ++y)
          for (int x = 0; x < g.width; ++x)
            g.coverage[static_cast<size_t>(y) * g.width + x] =
                mono ? ((b.buffer[y * b.pitch + x / 8] >> (7 - x % 8)) & 1) * 255 : b.buffer[y * b.pitch + x];
      }
    }
  }
  return strike.add(ch, std::move(g));
}

}  // namespace wince
