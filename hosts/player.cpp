#include "player.h"

#include <cstdio>

#include "shell/shell_state.h"
#include "device/device.h"

namespace crestune {

namespace {
Player* g_player = nullptr;  // the one player program of the device
constexpr const char16_t* kClass = u"CrestunePlayer";
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

Player::Player() {
  g_player = this;
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.lpszClassName = kClass;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  RegisterClassW(&wc);
  wince::Device::current().shell().registerProgram(u"\\Windows\\wmplayer.exe",
                                                   [this](const std::u16string&, const std::u16string&) {
                                                     return start();
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
    return true;
  }
  // The player runs in the background until it is brought forward.
  window_ = CreateWindowExW(0, kClass, u"Windows Media", WS_POPUP, 0, 0, 240, 320, nullptr, nullptr, nullptr,
                            nullptr);
  return window_ != nullptr;
}

void Player::close() {
  if (running()) SendMessageW(window_, WM_CLOSE, 0, 0);
}

bool Player::running() const { return window_ && IsWindow(window_); }

std::vector<PlayerMessage> Player::takeNew() {
  std::vector<PlayerMessage> out(transcript_.begin() + static_cast<long>(taken_), transcript_.end());
  taken_ = transcript_.size();
  return out;
}

LRESULT CALLBACK Player::proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  // Commands come as WM_COMMAND, WM_CLOSE or the player's own messages.
  if (g_player && (msg == WM_CLOSE || msg == WM_COMMAND || msg >= WM_APP))
    g_player->transcript_.push_back(PlayerMessage{msg, wp, lp});
  if (msg == WM_DESTROY && g_player && g_player->window_ == hwnd) g_player->window_ = nullptr;
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace crestune
