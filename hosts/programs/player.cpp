// The substitute player program: its window, the commands it records and
// what the person does on its screen.
#include "player.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "device.h"
#include "player_screen.h"
#include "shell_state.h"
#include "today.h"

namespace crestune {

namespace {
Player* g_player = nullptr;  // the one player program of the device
constexpr const char16_t* kClass = u"CrestunePlayer";
constexpr UINT_PTR kTickTimer = 1;
}  // namespace

std::string describe(const PlayerMessage& m) {
  char buf[64];
  if (m.wParam == 0 && m.lParam == 0)
    std::snprintf(buf, sizeof buf, "0x%04X", m.message);
  else
    std::snprintf(buf, sizeof buf, "0x%04X(0x%llX,0x%llX)", m.message, static_cast<unsigned long long>(m.wParam),
                  static_cast<unsigned long long>(m.lParam));
  return buf;
}

std::string commandName(const PlayerMessage& m) {
  namespace pc = player_command;
  switch (m.message) {
    case pc::kPlay: return "(Play)";
    case pc::kPause: return "(Pause)";
    case pc::kStop: return "(Stop)";
    case pc::kPrevious: return "(Previous)";
    case pc::kNext: return "(Next)";
    case pc::kShuffle: return "(Shuffle)";
    case pc::kRepeat: return "(Repeat)";
    case pc::kProperties: return "(Properties)";
    case pc::kMute: return "(Mute)";
    case pc::kVolumeUp: return "(Volume Up)";
    case pc::kVolumeDown: return "(Volume Down)";
    case WM_CLOSE: return "(WM_CLOSE)";
    case pc::kCommand: return m.wParam == pc::kPlaylistId ? "(Playlist)" : "(WM_COMMAND)";
  }
  return "";
}

Player::Player() {
  g_player = this;
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.lpszClassName = kClass;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  RegisterClassW(&wc);
  wince::Device::current().shell().registerProgram(u"\\Windows\\wmplayer.exe",
                                                   [this](const std::u16string&, const std::u16string&) {
                                                     // Started by the shell, it comes to the front.
                                                     if (!start()) return false;
                                                     SetForegroundWindow(window_);
                                                     show();
                                                     return true;
                                                   });
}

Player::~Player() {
  if (window_ && IsWindow(window_)) DestroyWindow(window_);
  UnregisterClassW(kClass, nullptr);
  g_player = nullptr;
}

bool Player::start() {
  ++starts_;
  if (running()) {
    SetForegroundWindow(window_);
    show();
    return true;
  }
  state_ = PlayerState();
  ticking_ = false;
  pressed_ = -1;
  // The player runs in the background until it is brought forward. It
  // fills the screen below the navigation bar.
  const wince::Screen& screen = wince::Device::current().screen();
  window_ = CreateWindowExW(0, kClass, u"Windows Media", WS_POPUP, 0, TodayShell::kNavBarHeight, screen.width,
                            screen.height - TodayShell::kNavBarHeight, nullptr, nullptr, nullptr, nullptr);
  return window_ != nullptr;
}

void Player::close() {
  if (running()) SendMessageW(window_, WM_CLOSE, 0, 0);
}

bool Player::running() const { return window_ && IsWindow(window_); }

bool Player::shown() const { return running() && IsWindowVisible(window_); }

void Player::show() {
  if (!running()) return;
  ShowWindow(window_, SW_SHOW);
  InvalidateRect(window_, nullptr, TRUE);
}

void Player::hide() {
  if (!running()) return;
  ShowWindow(window_, SW_HIDE);
  // Give up the focus and the foreground, so that bringing the player
  // forward again reaches it anew.
  if (GetFocus() == window_) SetFocus(nullptr);
  if (GetForegroundWindow() == window_)
    if (HWND today = FindWindowW(TodayShell::kWindowClass, nullptr)) SetForegroundWindow(today);
}

std::vector<PlayerMessage> Player::takeNew() {
  std::vector<PlayerMessage> out;
  for (size_t i = std::max(taken_, transcript_.first()); i < transcript_.size(); ++i) out.push_back(transcript_[i]);
  taken_ = transcript_.size();
  return out;
}

void Player::changed() {
  bool playing = state_.state() == PlayState::Playing;
  if (playing && !ticking_) SetTimer(window_, kTickTimer, kTickMs, nullptr);
  if (!playing && ticking_) KillTimer(window_, kTickTimer);
  ticking_ = playing;
  InvalidateRect(window_, nullptr, FALSE);
}

// The person's own controls on the player's screen.
void Player::tap(int control) {
  namespace pc = player_command;
  switch (control) {
    case kCloseBox: hide(); return;
    case kPreviousButton: state_.command(pc::kPrevious); break;
    case kPlayPauseButton: state_.command(state_.state() == PlayState::Playing ? pc::kPause : pc::kPlay); break;
    case kStopButton: state_.command(pc::kStop); break;
    case kNextButton: state_.command(pc::kNext); break;
    case kMuteButton: state_.command(pc::kMute); break;
    case kVolumeDownButton: state_.command(pc::kVolumeDown); break;
    case kVolumeUpButton: state_.command(pc::kVolumeUp); break;
    case kRepeatToggle: state_.command(pc::kRepeat); break;
    case kShuffleToggle: state_.command(pc::kShuffle); break;
    case kPlaylistTab: state_.showPage(PlayerPage::Playlist); break;
    case kPropertiesTab: state_.showPage(PlayerPage::Properties); break;
    case kBackButton: state_.showPage(PlayerPage::NowPlaying); break;
    default:
      if (control >= kFirstRow) {
        state_.playTrack(static_cast<size_t>(control - kFirstRow));
        state_.showPage(PlayerPage::NowPlaying);
      }
      break;
  }
  changed();
}

LRESULT CALLBACK Player::proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (g_player && g_player->window_ == hwnd) return g_player->handle(hwnd, msg, wp, lp);
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT Player::handle(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  // Commands come as WM_COMMAND, WM_CLOSE or the player's own messages.
  if (msg == WM_CLOSE || msg == WM_COMMAND || msg >= WM_APP) {
    transcript_.push(PlayerMessage{msg, wp, lp});
    if (recorder_) recorder_(transcript_.back());
    if (state_.command(msg, wp)) {
      changed();
      // A page asked for from outside comes with the player brought forward.
      if (state_.page() != PlayerPage::NowPlaying && GetForegroundWindow() == hwnd) show();
    }
  }
  switch (msg) {
    case WM_SETFOCUS:
      show();
      return 0;
    case WM_TIMER:
      if (wp == kTickTimer) {
        state_.tick();
        changed();
      }
      return 0;
    case WM_LBUTTONDOWN: {
      pressed_ = playerControlAt(state_, static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp)));
      SetCapture(hwnd);
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    }
    case WM_LBUTTONUP: {
      if (GetCapture() == hwnd) ReleaseCapture();
      int was = std::exchange(pressed_, -1);
      InvalidateRect(hwnd, nullptr, FALSE);
      // A control acts when the pen lifts where it went down.
      if (was != kNone && was == playerControlAt(state_, static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))))
        tap(was);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC hdc = BeginPaint(hwnd, &ps);
      RECT client;
      GetClientRect(hwnd, &client);
      paintPlayer(hdc, client, state_, pressed_);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_DESTROY:
      if (ticking_) KillTimer(hwnd, kTickTimer);
      ticking_ = false;
      window_ = nullptr;
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}


}  // namespace crestune
