// Drawing the player's screen and finding its controls under the pen.
#include "player_screen.h"

#include <algorithm>
#include <cstdio>
#include <tuple>
#include <utility>

#include "draw_helpers.h"
#include "player.h"

namespace crestune {

namespace {

namespace layout = player_layout;

// The player's colours: a dark screen with a blue accent.
constexpr COLORREF kBackground = RGB(22, 26, 38);
constexpr COLORREF kPanel = RGB(36, 42, 60);
constexpr COLORREF kPanelPressed = RGB(70, 110, 170);
constexpr COLORREF kText = RGB(236, 240, 248);
constexpr COLORREF kDimText = RGB(140, 150, 172);
constexpr COLORREF kAccent = RGB(70, 160, 255);
constexpr COLORREF kTrough = RGB(56, 62, 82);
constexpr COLORREF kMuteMark = RGB(230, 70, 60);

using draw::fill;
using draw::Font;
using draw::line;

RECT rowRect(size_t i) {
  int top = layout::kListTop + static_cast<int>(i) * layout::kListRow;
  return RECT{8, top, 232, top + layout::kListRow - 4};
}

bool inside(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// A panel with its corners cut by one pixel, which reads as rounded.
void panel(HDC hdc, RECT r, COLORREF c) {
  fill(hdc, {r.left + 1, r.top, r.right - 1, r.bottom}, c);
  fill(hdc, {r.left, r.top + 1, r.right, r.bottom - 1}, c);
}

void text(HDC hdc, const std::u16string& s, RECT r, COLORREF c, UINT format = DT_LEFT) {
  SetTextColor(hdc, c);
  DrawTextW(hdc, s.c_str(), -1, &r, format | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

// A filled triangle, one row at a time: pointing right (or left) inside r.
void triangle(HDC hdc, RECT r, bool right, COLORREF c) {
  int h = r.bottom - r.top, w = r.right - r.left;
  for (int y = 0; y < h; ++y) {
    int half = std::min(y, h - 1 - y);
    int len = h > 1 ? (half * 2 * w + h - 1) / (h - 1) : w;
    len = std::min(len, w);
    if (len <= 0) len = 1;
    RECT row = right ? RECT{r.left, r.top + y, r.left + len, r.top + y + 1}
                     : RECT{r.right - len, r.top + y, r.right, r.top + y + 1};
    fill(hdc, row, c);
  }
}

RECT centred(const RECT& in, int w, int h) {
  int x = (in.left + in.right - w) / 2, y = (in.top + in.bottom - h) / 2;
  return RECT{x, y, x + w, y + h};
}

void ellipse(HDC hdc, RECT r, COLORREF c) {
  HBRUSH b = CreateSolidBrush(c);
  HGDIOBJ oldBrush = SelectObject(hdc, b);
  HGDIOBJ oldPen = SelectObject(hdc, GetStockObject(NULL_PEN));
  Ellipse(hdc, r.left, r.top, r.right, r.bottom);
  SelectObject(hdc, oldPen);
  SelectObject(hdc, oldBrush);
  DeleteObject(b);
}

// The transport symbols, drawn centred in a button.
void playSymbol(HDC hdc, const RECT& b, COLORREF c) { triangle(hdc, centred(b, 14, 16), true, c); }
void pauseSymbol(HDC hdc, const RECT& b, COLORREF c) {
  RECT r = centred(b, 14, 16);
  fill(hdc, {r.left, r.top, r.left + 5, r.bottom}, c);
  fill(hdc, {r.right - 5, r.top, r.right, r.bottom}, c);
}
void stopSymbol(HDC hdc, const RECT& b, COLORREF c) { fill(hdc, centred(b, 14, 14), c); }
void skipSymbol(HDC hdc, const RECT& b, bool forward, COLORREF c) {
  RECT r = centred(b, 18, 14);
  if (forward) {
    triangle(hdc, {r.left, r.top, r.left + 8, r.bottom}, true, c);
    triangle(hdc, {r.left + 7, r.top, r.left + 15, r.bottom}, true, c);
    fill(hdc, {r.right - 3, r.top, r.right, r.bottom}, c);
  } else {
    fill(hdc, {r.left, r.top, r.left + 3, r.bottom}, c);
    triangle(hdc, {r.left + 3, r.top, r.left + 11, r.bottom}, false, c);
    triangle(hdc, {r.left + 10, r.top, r.left + 18, r.bottom}, false, c);
  }
}

void button(HDC hdc, const RECT& r, bool pressed) {
  panel(hdc, r, pressed ? kPanelPressed : kPanel);
}

// A cover for each track: a two-tone gradient and a note.
void cover(HDC hdc, const RECT& r, size_t index) {
  static const COLORREF tops[] = {RGB(40, 120, 200), RGB(190, 90, 60), RGB(50, 150, 110), RGB(140, 80, 180),
                                  RGB(200, 150, 40)};
  COLORREF top = tops[index % 5];
  int h = r.bottom - r.top;
  for (int y = 0; y < h; ++y) {
    int k = 255 - y * 150 / h;
    fill(hdc, {r.left, r.top + y, r.right, r.top + y + 1},
         RGB(GetRValue(top) * k / 255, GetGValue(top) * k / 255, GetBValue(top) * k / 255));
  }
  COLORREF note = RGB(245, 245, 250);
  int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  ellipse(hdc, {cx - 14, cy + 6, cx - 2, cy + 15}, note);
  ellipse(hdc, {cx + 4, cy + 2, cx + 16, cy + 11}, note);
  fill(hdc, {cx - 4, cy - 16, cx - 2, cy + 11}, note);
  fill(hdc, {cx + 14, cy - 20, cx + 16, cy + 7}, note);
  for (int i = 0; i < 4; ++i) fill(hdc, {cx - 4, cy - 16 - i + 1, cx + 16, cy - 13 - i + 1}, note);
}

void speaker(HDC hdc, const RECT& b, bool muted) {
  RECT r = centred(b, 16, 12);
  fill(hdc, {r.left, r.top + 4, r.left + 4, r.bottom - 4}, kText);
  triangle(hdc, {r.left + 2, r.top, r.left + 10, r.bottom}, false, kText);
  if (muted) {
    line(hdc, r.left + 1, r.bottom + 1, r.right, r.top - 2, kMuteMark, 2);
  } else {
    line(hdc, r.left + 12, r.top + 3, r.left + 12, r.bottom - 3, kText);
    line(hdc, r.left + 15, r.top + 1, r.left + 15, r.bottom - 1, kText);
  }
}

// "N of M": where the current track is in the playlist.
std::u16string trackOfCount(const PlayerState& s) {
  return decimal(s.trackIndex() + 1) + u" of " + decimal(s.playlist().size());
}

}  // namespace

int playerControlAt(const PlayerState& s, int x, int y) {
  if (inside(layout::kClose, x, y)) return kCloseBox;
  if (s.page() == PlayerPage::NowPlaying) {
    const std::pair<RECT, PlayerControl> controls[] = {
        {layout::kPrevious, kPreviousButton},  {layout::kPlayPause, kPlayPauseButton},
        {layout::kStop, kStopButton},          {layout::kNext, kNextButton},
        {layout::kMute, kMuteButton},          {layout::kVolumeDown, kVolumeDownButton},
        {layout::kVolumeUp, kVolumeUpButton},  {layout::kRepeat, kRepeatToggle},
        {layout::kShuffle, kShuffleToggle},    {layout::kPlaylistTab, kPlaylistTab},
        {layout::kPropertiesTab, kPropertiesTab}};
    for (const auto& [r, c] : controls)
      if (inside(r, x, y)) return c;
    return kNone;
  }
  if (inside(layout::kBack, x, y)) return kBackButton;
  if (s.page() == PlayerPage::Playlist)
    for (size_t i = 0; i < s.playlist().size(); ++i)
      if (inside(rowRect(i), x, y)) return kFirstRow + static_cast<int>(i);
  return kNone;
}

void paintPlayer(HDC hdc, const RECT& client, const PlayerState& state, int pressed) {
  fill(hdc, client, kBackground);
  SetBkMode(hdc, TRANSPARENT);

  // The title bar.
  for (int y = 0; y < layout::kHeaderHeight; ++y)
    fill(hdc, {0, y, client.right, y + 1}, RGB(30 + y, 48 + y * 2, 90 + y * 3));
  fill(hdc, {0, layout::kHeaderHeight - 1, client.right, layout::kHeaderHeight}, RGB(90, 130, 200));
  {
    Font f(hdc, 13, true);
    text(hdc, u"Windows Media", {8, 0, 190, layout::kHeaderHeight}, kText);
  }
  RECT close = centred(layout::kClose, 20, 18);
  panel(hdc, close, pressed == kCloseBox ? kPanelPressed : RGB(60, 80, 130));
  line(hdc, close.left + 6, close.top + 5, close.right - 7, close.bottom - 6, kText, 2);
  line(hdc, close.left + 6, close.bottom - 6, close.right - 7, close.top + 5, kText, 2);

  const Track& t = state.track();
  const size_t count = state.playlist().size();

  if (state.page() == PlayerPage::NowPlaying) {
    cover(hdc, layout::kArt, state.trackIndex());
    {
      Font f(hdc, 15, true);
      text(hdc, t.title, layout::kTitle, kText);
    }
    Font f(hdc, 12, false);
    text(hdc, t.artist, layout::kArtist, kDimText);
    text(hdc, u"Track " + trackOfCount(state), layout::kTrackNumber, kDimText);

    // State, time and progress.
    RECT mark{layout::kStateLine.left, layout::kStateLine.top + 3, layout::kStateLine.left + 10,
              layout::kStateLine.bottom - 3};
    COLORREF stateColour = state.state() == PlayState::Playing ? kAccent : kDimText;
    if (state.state() == PlayState::Playing)
      triangle(hdc, mark, true, stateColour);
    else if (state.state() == PlayState::Paused)
      pauseSymbol(hdc, mark, stateColour);
    else
      fill(hdc, centred(mark, 9, 9), stateColour);
    {
      Font b(hdc, 12, true);
      text(hdc, stateName(state.state()), {mark.right + 6, layout::kStateLine.top, 140, layout::kStateLine.bottom},
           kText);
    }
    text(hdc, formatTime(state.position()) + u" / " + formatTime(t.seconds), layout::kStateLine, kDimText, DT_RIGHT);
    RECT bar = layout::kProgress;
    panel(hdc, bar, kTrough);
    int done = t.seconds > 0 ? (bar.right - bar.left) * std::min(state.position(), t.seconds) / t.seconds : 0;
    if (done > 0) panel(hdc, {bar.left, bar.top, bar.left + done, bar.bottom}, kAccent);

    // Transport.
    button(hdc, layout::kPrevious, pressed == kPreviousButton);
    skipSymbol(hdc, layout::kPrevious, false, kText);
    button(hdc, layout::kPlayPause, pressed == kPlayPauseButton);
    if (state.state() == PlayState::Playing)
      pauseSymbol(hdc, layout::kPlayPause, kText);
    else
      playSymbol(hdc, layout::kPlayPause, kText);
    button(hdc, layout::kStop, pressed == kStopButton);
    stopSymbol(hdc, layout::kStop, kText);
    button(hdc, layout::kNext, pressed == kNextButton);
    skipSymbol(hdc, layout::kNext, true, kText);

    // Volume: ten steps; dimmed while muted.
    if (pressed == kMuteButton) panel(hdc, layout::kMute, kPanelPressed);
    speaker(hdc, layout::kMute, state.muted());
    for (auto [r, c, sign] : {std::tuple{layout::kVolumeDown, kVolumeDownButton, u"-"},
                              std::tuple{layout::kVolumeUp, kVolumeUpButton, u"+"}}) {
      button(hdc, r, pressed == c);
      Font b(hdc, 14, true);
      text(hdc, sign, r, kText, DT_CENTER);
    }
    const RECT& vb = layout::kVolumeBar;
    int steps = PlayerState::kMaxVolume / PlayerState::kVolumeStep;
    int segment = (vb.right - vb.left) / steps;
    int lit = state.volume() / PlayerState::kVolumeStep;
    for (int i = 0; i < steps; ++i) {
      int h = 4 + (vb.bottom - vb.top - 4) * (i + 1) / steps;
      RECT s{vb.left + i * segment + 1, vb.bottom - h, vb.left + (i + 1) * segment - 1, vb.bottom};
      COLORREF c = i >= lit ? kTrough : state.muted() ? kDimText : kAccent;
      fill(hdc, s, c);
    }
    text(hdc, decimal(static_cast<size_t>(state.volume())), {212, layout::kVolumeUp.top, 236, layout::kVolumeUp.bottom},
         state.muted() ? kMuteMark : kDimText, DT_RIGHT);

    // Repeat and shuffle: lit when on.
    for (auto [r, c, on, label] : {std::tuple{layout::kRepeat, kRepeatToggle, state.repeat(), u"Repeat"},
                                   std::tuple{layout::kShuffle, kShuffleToggle, state.shuffle(), u"Shuffle"}}) {
      panel(hdc, r, pressed == c ? kPanelPressed : on ? RGB(30, 70, 120) : kPanel);
      RECT lamp = centred({r.left + 6, r.top, r.left + 16, r.bottom}, 8, 8);
      ellipse(hdc, lamp, on ? RGB(90, 230, 120) : kTrough);
      text(hdc, label, {lamp.right + 6, r.top, r.right, r.bottom}, on ? kText : kDimText);
    }

    // The command bar.
    fill(hdc, {0, layout::kBarTop, client.right, client.bottom}, kPanel);
    fill(hdc, {0, layout::kBarTop, client.right, layout::kBarTop + 1}, RGB(70, 80, 110));
    fill(hdc, {120, layout::kBarTop + 6, 121, client.bottom - 6}, RGB(70, 80, 110));
    if (pressed == kPlaylistTab) fill(hdc, {0, layout::kBarTop + 1, 120, client.bottom}, kPanelPressed);
    if (pressed == kPropertiesTab) fill(hdc, {121, layout::kBarTop + 1, 240, client.bottom}, kPanelPressed);
    text(hdc, u"Playlist", layout::kPlaylistTab, kText, DT_CENTER);
    text(hdc, u"Properties", layout::kPropertiesTab, kText, DT_CENTER);
    return;
  }

  // The other pages: a heading, their content, and Back.
  bool playlist = state.page() == PlayerPage::Playlist;
  {
    Font b(hdc, 13, true);
    text(hdc, playlist ? u"Playlist" : u"Properties", {12, layout::kHeaderHeight + 3, 228, layout::kListTop - 3},
         kAccent);
  }
  Font f(hdc, 12, false);
  if (playlist) {
    for (size_t i = 0; i < count; ++i) {
      const Track& row = state.playlist()[i];
      RECT r = rowRect(i);
      bool current = i == state.trackIndex();
      panel(hdc, r, pressed == kFirstRow + static_cast<int>(i) ? kPanelPressed : current ? RGB(30, 70, 120) : kPanel);
      text(hdc, decimal(i + 1), {r.left + 4, r.top, r.left + 22, r.bottom}, kDimText, DT_RIGHT);
      {
        Font b(hdc, 12, true);
        text(hdc, row.title, {r.left + 30, r.top + 2, r.right - 44, r.top + 18}, kText);
      }
      text(hdc, row.artist, {r.left + 30, r.top + 18, r.right - 44, r.bottom - 2}, kDimText);
      text(hdc, formatTime(row.seconds), {r.right - 44, r.top, r.right - 6, r.bottom}, kDimText, DT_RIGHT);
      if (current && state.state() == PlayState::Playing)
        triangle(hdc, {r.left + 26 - 22, r.top + 4, r.left + 26 - 16, r.top + 12}, true, kAccent);
    }
  } else {
    auto onOff = [](bool on) { return std::u16string(on ? u"On" : u"Off"); };
    std::pair<const char16_t*, std::u16string> rows[] = {
        {u"Title", t.title},
        {u"Artist", t.artist},
        {u"Album", t.album},
        {u"Track", trackOfCount(state)},
        {u"Duration", formatTime(t.seconds)},
        {u"Position", formatTime(state.position())},
        {u"State", stateName(state.state())},
        {u"Volume", decimal(static_cast<size_t>(state.volume())) + (state.muted() ? u" (muted)" : u"")},
        {u"Repeat", state.repeatMode().empty() ? onOff(state.repeat()) : state.repeatMode()},
        {u"Shuffle", onOff(state.shuffle())},
    };
    int y = layout::kListTop - 2;
    for (const auto& [name, value] : rows) {
      text(hdc, name, {14, y, 86, y + 20}, kDimText);
      text(hdc, value, {90, y, 232, y + 20}, kText);
      fill(hdc, {12, y + 20, 228, y + 21}, RGB(40, 46, 64));
      y += 21;
    }
  }
  fill(hdc, {0, layout::kBarTop, client.right, client.bottom}, pressed == kBackButton ? kPanelPressed : kPanel);
  fill(hdc, {0, layout::kBarTop, client.right, layout::kBarTop + 1}, RGB(70, 80, 110));
  triangle(hdc, centred({80, layout::kBarTop, 96, client.bottom}, 7, 12), false, kText);
  text(hdc, u"Back", {100, layout::kBarTop, 180, client.bottom}, kText);
}

}  // namespace crestune
