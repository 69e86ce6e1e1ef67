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
constexpr UINT_PTR kRemoteTimer = 2;
}  // namespace

// The parameters as the device holds them: 32 bits each, whatever the
// width of WPARAM and LPARAM here (-2147483648 is 0x80000000).
std::string describe(const PlayerMessage& m) {
  char buf[64];
  if (m.wParam == 0 && m.lParam == 0)
    std::snprintf(buf, sizeof buf, "0x%04X", m.message);
  else
    std::snprintf(buf, sizeof buf, "0x%04X(0x%X,0x%X)", m.message, static_cast<uint32_t>(m.wParam),
                  static_cast<uint32_t>(m.lParam));
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

bool Player::start(std::unique_ptr<PlayerRemote> remote) {
  ++starts_;
  if (running()) {
    if (remote) attach(std::move(remote));
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
  if (!window_) return false;
  if (remote) attach(std::move(remote));
  return true;
}

void Player::note(const PlayerNote& n) {
  if (notes_)
    notes_(n);
  else if (n.problem)
    std::fprintf(stderr, "%s\n", n.text.c_str());
}

// The remote's news is taken on the device's clock; the player's own
// clock stops while the remote's position is shown.
void Player::attach(std::unique_ptr<PlayerRemote> remote) {
  remote_ = std::move(remote);
  shownRemote_.reset();
  SetTimer(window_, kRemoteTimer, kRemoteTickMs, nullptr);
  changed();
  updateFromRemote();
}

void Player::updateFromRemote() {
  if (!remote_) return;
  if (!remote_->update()) {
    dropRemote();
    return;
  }
  RemoteStatus now = remote_->status();
  if (shownRemote_ == now) return;
  state_.mirror(now);
  shownRemote_ = std::move(now);
  InvalidateRect(window_, nullptr, FALSE);
}

// The remote went: the player plays on its own, from the start.
void Player::dropRemote() {
  remote_.reset();
  shownRemote_.reset();
  if (!running()) return;
  KillTimer(window_, kRemoteTimer);
  PlayerPage page = state_.page();
  state_ = PlayerState();
  state_.showPage(page);
  changed();
}

bool Player::act(unsigned command, uintptr_t wParam) {
  if (remote_ && remote_->command(command, wParam)) {
    updateFromRemote();
    return true;
  }
  return state_.command(command, wParam);
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
  bool playing = !remote_ && state_.state() == PlayState::Playing;
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
    case kPreviousButton: act(pc::kPrevious); break;
    case kPlayPauseButton: act(state_.state() == PlayState::Playing ? pc::kPause : pc::kPlay); break;
    case kStopButton: act(pc::kStop); break;
    case kNextButton: act(pc::kNext); break;
    case kMuteButton: act(pc::kMute); break;
    case kVolumeDownButton: act(pc::kVolumeDown); break;
    case kVolumeUpButton: act(pc::kVolumeUp); break;
    case kRepeatToggle: act(pc::kRepeat); break;
    case kShuffleToggle: act(pc::kShuffle); break;
    case kPlaylistTab: state_.showPage(PlayerPage::Playlist); break;
    case kPropertiesTab: state_.showPage(PlayerPage::Properties); break;
    case kBackButton: state_.showPage(PlayerPage::NowPlaying); break;
    default:
      if (control >= kFirstRow) {
        size_t row = static_cast<size_t>(control - kFirstRow);
        if (remote_ && remote_->playTrack(row))
          updateFromRemote();
        else
          state_.playTrack(row);
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
    if (act(msg, wp)) {
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
      if (wp == kRemoteTimer) updateFromRemote();
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
      if (remote_) KillTimer(hwnd, kRemoteTimer);
      remote_.reset();  // the bridge closes; the desktop player plays on
      shownRemote_.reset();
      window_ = nullptr;
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}


}  // namespace crestune
