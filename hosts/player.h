// The substitute media player: a top-level window titled "Windows Media"
// that records, in order, every command it receives from outside.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace crestune {

struct PlayerMessage {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool operator==(const PlayerMessage&) const = default;
};
std::string describe(const PlayerMessage& m);

class Player {
 public:
  // Registers the program "\Windows\wmplayer.exe" with the device's shell.
  Player();
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  bool start();  // true when running afterwards
  void close();  // as the user closing it (WM_CLOSE)
  bool running() const;
  HWND window() const { return window_; }
  // Every command received since the player was made, and since the last take.
  const std::vector<PlayerMessage>& transcript() const { return transcript_; }
  std::vector<PlayerMessage> takeNew();
  int startCount() const { return starts_; }

 private:
  static LRESULT CALLBACK proc(HWND, UINT, WPARAM, LPARAM);
  HWND window_ = nullptr;
  std::vector<PlayerMessage> transcript_;
  size_t taken_ = 0;
  int starts_ = 0;
};

}  // namespace crestune
