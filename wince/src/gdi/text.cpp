// Text: metrics, extents, ExtTextOutW and DrawTextW.
#include <windows.h>

#include <algorithm>

#include "device/trace.h"
#include "gdi/gdi_internal.h"

namespace wince {

int textWidth(DcState& dc, const std::u16string& text) {
  auto& g = gdiImpl();
  GdiObject& font = g.dcFont(dc);
  GlyphStrike& strike = g.fonts.strike(font.font, font.metrics);
  int w = 0;
  for (char16_t ch : text) w += g.fonts.glyph(strike, ch).advance;
  return w;
}

void drawTextRun(Canvas& canvas, DcState& dc, const std::u16string& text, int x, int y, const INT* dx,
                 int underlineAt) {
  auto& g = gdiImpl();
  GdiObject& font = g.dcFont(dc);
  const FontMetrics& m = font.metrics;
  GlyphStrike& strike = g.fonts.strike(font.font, m);
  // x of each character, and the end; a strike keeps its glyphs in place,
  // so the glyphs looked up here are the ones drawn below. A line
  // of ordinary length keeps them on the stack.
  constexpr size_t kShort = 64;
  int shortPens[kShort + 1];
  const GlyphImage* shortGlyphs[kShort];
  std::vector<int> longPens;
  std::vector<const GlyphImage*> longGlyphs;
  if (text.size() > kShort) {
    longPens.resize(text.size() + 1);
    longGlyphs.resize(text.size());
  }
  int* pens = text.size() > kShort ? longPens.data() : shortPens;
  const GlyphImage** glyphs = text.size() > kShort ? longGlyphs.data() : shortGlyphs;
  int pen = x;
  for (size_t i = 0; i < text.size(); ++i) {
    const GlyphImage& gl = g.fonts.glyph(strike, text[i]);
    pens[i] = pen;
    glyphs[i] = &gl;
    pen += dx ? dx[i] : gl.advance;
  }
  pens[text.size()] = pen;
  if (dc.bkMode == OPAQUE) canvas.fill(RECT{x, y, pen, y + m.height}, dc.bkColor);
  const int baseline = y + m.ascent;
  const uint32_t colour = toScreen(dc.textColor);
  for (size_t i = 0; i < text.size(); ++i) {
    const GlyphImage& gl = *glyphs[i];
    const int left = pens[i] + gl.left, top = baseline - gl.top;
    const int screenLeft = canvas.sx(left), screenTop = canvas.sy(top);
    // The glyph's coverage as alpha over what is there, row span by row span.
    canvas.clipped(RECT{left, top, left + gl.width, top + gl.height}, [&](const RECT& part) {
      for (int py = part.top; py < part.bottom; ++py) {
        const uint8_t* cov = &gl.coverage[static_cast<size_t>(py - screenTop) * gl.width + (part.left - screenLeft)];
        uint32_t* dst = canvas.row(py) + part.left;
        for (int px = 0, n = part.right - part.left; px < n; ++px)
          if (const int a = cov[px]) dst[px] = a >= 255 ? colour : blendPixel(dst[px], colour, a);
      }
    });
  }
  auto line = [&](int x0, int x1, int y0, int thickness) {
    canvas.fill(RECT{x0, y0, x1, y0 + thickness}, dc.textColor);
  };
  if (font.font.lfUnderline) line(x, pen, baseline + m.underlinePos, m.underlineThickness);
  if (font.font.lfStrikeOut) line(x, pen, baseline - (m.ascent - m.internalLeading) / 3, m.underlineThickness);
  if (underlineAt >= 0 && static_cast<size_t>(underlineAt) < text.size())
    line(pens[underlineAt], pens[underlineAt + 1], baseline + m.underlinePos, m.underlineThickness);
}

}  // namespace wince

using namespace wince;

namespace {

std::u16string counted(LPCWSTR s, int c) {
  if (!s) return {};
  if (c < 0) return std::u16string(s);
  return std::u16string(s, static_cast<size_t>(c));
}

// One line of DrawTextW output, after mnemonic prefixes are resolved.
struct TextLine {
  std::u16string text;
  int underlineAt = -1;
  int width = 0;
};

// "&x" shows x underlined, "&&" shows one '&'.
TextLine resolvePrefixes(const std::u16string& s, bool noPrefix) {
  TextLine l;
  if (noPrefix) {
    l.text = s;
    return l;
  }
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == u'&' && i + 1 < s.size()) {
      ++i;
      if (s[i] != u'&') l.underlineAt = static_cast<int>(l.text.size());
    } else if (s[i] == u'&') {
      continue;
    }
    l.text += s[i];
  }
  return l;
}

std::vector<std::u16string> splitLines(const std::u16string& s) {
  std::vector<std::u16string> out(1);
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == u'\r' || s[i] == u'\n') {
      if (s[i] == u'\r' && i + 1 < s.size() && s[i + 1] == u'\n') ++i;
      out.emplace_back();
    } else {
      out.back() += s[i];
    }
  }
  return out;
}

// Greedy word wrap; a word wider than the rectangle keeps a line of its own.
// Widths are sums of per-character advances, so a line's width grows by
// each word's width as the word is added.
std::vector<std::u16string> wrap(DcState& dc, const std::u16string& s, int width) {
  std::vector<std::u16string> out;
  std::u16string current;
  int currentWidth = 0;
  auto startLine = [&](const std::u16string& word) {
    const size_t k = word.find_first_not_of(u' ');
    current = k == std::u16string::npos ? std::u16string() : word.substr(k);
    currentWidth = textWidth(dc, current);
  };
  size_t i = 0;
  while (i < s.size()) {
    size_t j = i;
    while (j < s.size() && s[j] == u' ') ++j;
    while (j < s.size() && s[j] != u' ') ++j;
    const std::u16string word = s.substr(i, j - i);
    if (current.empty()) {
      startLine(word);
    } else if (const int w = textWidth(dc, word); currentWidth + w <= width) {
      current += word;
      currentWidth += w;
    } else {
      out.push_back(current);
      startLine(word);
    }
    i = j;
  }
  out.push_back(current);
  return out;
}

}  // namespace

BOOL WINAPI GetTextMetricsW(HDC hdc, LPTEXTMETRICW lptm) {
  WINCE_TRACE("GetTextMetricsW");
  wince_trace_.args(hdc, static_cast<const void*>(lptm));
  auto& g = gdiImpl();
  DcState* d = g.dc(hdc);
  if (!d || !lptm) return wince_trace_.result(FALSE);
  GdiObject& font = g.dcFont(*d);
  const FontMetrics& m = font.metrics;
  const LOGFONTW& lf = font.font;
  const int dpi = Device::current().screen().dpi;
  TEXTMETRICW tm{};
  tm.tmHeight = m.height;
  tm.tmAscent = m.ascent;
  tm.tmDescent = m.descent;
  tm.tmInternalLeading = m.internalLeading;
  tm.tmExternalLeading = m.externalLeading;
  tm.tmAveCharWidth = m.aveCharWidth;
  tm.tmMaxCharWidth = m.maxCharWidth;
  tm.tmWeight = lf.lfWeight >= FW_SEMIBOLD ? FW_BOLD : FW_NORMAL;
  tm.tmDigitizedAspectX = dpi;
  tm.tmDigitizedAspectY = dpi;
  tm.tmFirstChar = 0x20;
  tm.tmLastChar = 0xFFFC;
  tm.tmDefaultChar = 0x1F;
  tm.tmBreakChar = 0x20;
  tm.tmItalic = lf.lfItalic ? 1 : 0;
  tm.tmUnderlined = lf.lfUnderline ? 1 : 0;
  tm.tmStruckOut = lf.lfStrikeOut ? 1 : 0;
  // A variable-pitch TrueType sans-serif: the "fixed pitch" bit set means
  // the font is NOT fixed pitch.
  tm.tmPitchAndFamily = TMPF_FIXED_PITCH | TMPF_VECTOR | TMPF_TRUETYPE | FF_SWISS;
  tm.tmCharSet = lf.lfCharSet;
  *lptm = tm;
  return wince_trace_.result(TRUE);
}

BOOL WINAPI GetTextExtentPoint32W(HDC hdc, LPCWSTR lpString, int c, LPSIZE psizl) {
  WINCE_TRACE("GetTextExtentPoint32W");
  const std::u16string text = c >= 0 ? counted(lpString, c) : std::u16string();
  wince_trace_.args(hdc, text.c_str(), c, static_cast<const void*>(psizl));
  auto& g = gdiImpl();
  DcState* d = g.dc(hdc);
  if (!d || !psizl || c < 0 || (c > 0 && !lpString)) return wince_trace_.result(FALSE);
  psizl->cx = textWidth(*d, text);
  psizl->cy = g.dcFont(*d).metrics.height;
  return wince_trace_.result(TRUE);
}

BOOL WINAPI ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* lprect, LPCWSTR lpString, UINT c,
                        const INT* lpDx) {
  WINCE_TRACE("ExtTextOutW");
  const std::u16string text = counted(lpString, static_cast<int>(c));
  wince_trace_.args(hdc, x, y, options, static_cast<const void*>(lprect), text.c_str(), c,
                    static_cast<const void*>(lpDx));
  DcState* d = gdiImpl().dc(hdc);
  if (!d || (c > 0 && !lpString)) return wince_trace_.result(FALSE);
  Canvas canvas(Device::current().screen(), *d);
  if (lprect && (options & ETO_OPAQUE)) canvas.fill(*lprect, d->bkColor);
  if (lprect && (options & ETO_CLIPPED)) canvas.restrict(*lprect);
  drawTextRun(canvas, *d, text, x, y, lpDx);
  return wince_trace_.result(TRUE);
}

int WINAPI DrawTextW(HDC hdc, LPCWSTR lpchText, int cchText, LPRECT lprc, UINT format) {
  WINCE_TRACE("DrawTextW");
  const std::u16string text = cchText >= -1 ? counted(lpchText, cchText) : std::u16string();
  wince_trace_.args(hdc, text.c_str(), cchText, static_cast<const void*>(lprc), format);
  auto& g = gdiImpl();
  DcState* d = g.dc(hdc);
  if (!d || !lprc || cchText < -1 || (cchText != 0 && !lpchText)) return wince_trace_.result(0);
  const int lineHeight = g.dcFont(*d).metrics.height;
  const bool single = format & DT_SINGLELINE;
  const RECT rc = *lprc;

  std::vector<TextLine> lines;
  std::vector<std::u16string> raw;
  if (single) {
    raw.push_back(text);
  } else {
    for (const auto& l : splitLines(text)) {
      if (format & DT_WORDBREAK) {
        for (auto& w : wrap(*d, l, rc.right - rc.left)) raw.push_back(std::move(w));
      } else {
        raw.push_back(l);
      }
    }
  }
  int widest = 0;
  for (const auto& r : raw) {
    TextLine l = resolvePrefixes(r, format & DT_NOPREFIX);
    l.width = textWidth(*d, l.text);
    widest = std::max(widest, l.width);
    lines.push_back(std::move(l));
  }
  const int height = lineHeight * static_cast<int>(lines.size());

  if (format & DT_CALCRECT) {
    lprc->right = lprc->left + widest;
    lprc->bottom = lprc->top + height;
    return wince_trace_.result(height);
  }

  int y = rc.top;
  if (single && (format & DT_VCENTER))
    y = (rc.top + rc.bottom - height) / 2;
  else if (single && (format & DT_BOTTOM))
    y = rc.bottom - height;

  Canvas canvas(Device::current().screen(), *d);
  if (!(format & DT_NOCLIP)) canvas.restrict(rc);
  for (const auto& l : lines) {
    int x = rc.left;
    if (format & DT_CENTER)
      x = (rc.left + rc.right - l.width) / 2;
    else if (format & DT_RIGHT)
      x = rc.right - l.width;
    drawTextRun(canvas, *d, l.text, x, y, nullptr, l.underlineAt);
    y += lineHeight;
  }
  const int result = (single && (format & (DT_VCENTER | DT_BOTTOM))) ? y - rc.top : height;
  return wince_trace_.result(result);
}
