// The substitute media player: a top-level window titled "Windows Media"
// that records, in order, every command it receives from outside, and acts
// on them as a small media player does: it plays a built-in playlist on the
// device's clock and draws what it is doing when it is brought forward.
// Given a remote (a desktop player), it passes its commands on to it and
// shows what the remote reports instead.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "history.h"
#include "player_remote.h"
#include "player_state.h"

namespace crestune {

struct PlayerMessage {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool operator==(const PlayerMessage&) const = default;
};
std::string describe(const PlayerMessage& m);
// What a command means, in parentheses ("(Play)", "(Playlist)"); empty for
// a message that is none of the player's commands.
std::string commandName(const PlayerMessage& m);

// Where things are on the player's screen, in its client coordinates
// (the window fills the screen below the navigation bar).
namespace player_layout {
constexpr int kHeaderHeight = 26;
constexpr RECT kClose{202, 0, 240, 26};  // "x": back to the Today screen
constexpr RECT kArt{12, 36, 76, 100};
constexpr RECT kTitle{86, 34, 234, 54};
constexpr RECT kArtist{86, 56, 234, 72};
constexpr RECT kTrackNumber{86, 76, 234, 92};
constexpr RECT kStateLine{12, 108, 228, 124};
constexpr RECT kProgress{12, 128, 228, 136};
constexpr RECT kPrevious{20, 146, 64, 186};
constexpr RECT kPlayPause{72, 146, 116, 186};
constexpr RECT kStop{124, 146, 168, 186};
constexpr RECT kNext{176, 146, 220, 186};
constexpr RECT kMute{12, 198, 36, 218};
constexpr RECT kVolumeDown{40, 198, 60, 218};
constexpr RECT kVolumeBar{64, 201, 184, 215};
constexpr RECT kVolumeUp{188, 198, 208, 218};
constexpr RECT kRepeat{12, 228, 116, 250};
constexpr RECT kShuffle{124, 228, 228, 250};
constexpr int kBarTop = 262;  // the command bar along the bottom
constexpr RECT kPlaylistTab{0, kBarTop, 120, 294};
constexpr RECT kPropertiesTab{120, kBarTop, 240, 294};
constexpr RECT kBack{0, kBarTop, 240, 294};  // on the other pages
constexpr int kListTop = 50;                 // playlist rows
constexpr int kListRow = 40;
}  // namespace player_layout

class Player {
 public:
  static constexpr UINT kTickMs = 1000;
  // How often a remote's news is taken (without waiting for any).
  static constexpr UINT kRemoteTickMs = 250;
  // How many of the most recent commands the player keeps in memory.
  static constexpr size_t kKeptCommands = 1024;

  // Registers the program "\Windows\wmplayer.exe" with the device's shell.
  Player();
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // True when running afterwards; a second start brings it forward. With a
  // remote, the player passes its commands on to it (replacing the one it
  // had); closing the player lets the remote go.
  bool start(std::unique_ptr<PlayerRemote> remote = nullptr);
  void close();  // as the user closing it (WM_CLOSE)
  bool running() const;
  HWND window() const { return window_; }
  // Every command received since the player was made, numbered from 0; the
  // most recent kKeptCommands of them are kept.
  const wince::History<PlayerMessage>& transcript() const { return transcript_; }
  // The commands received since the last take (those still kept).
  std::vector<PlayerMessage> takeNew();
  // Called with each command as it arrives, for a session that writes the
  // whole transcript out (null: none).
  using Recorder = std::function<void(const PlayerMessage&)>;
  void setRecorder(Recorder recorder) { recorder_ = std::move(recorder); }
  int startCount() const { return starts_; }
  bool hasRemote() const { return remote_ != nullptr; }

  // Where the player's notes go (null: problems to stderr, the rest
  // nowhere); a session that writes a transcript takes them there.
  void setNotes(PlayerNotes notes) { notes_ = std::move(notes); }
  void note(const PlayerNote& n);
  // A function that says a note through the player, for its remote; it
  // lives as long as the player.
  PlayerNotes notes() {
    return [this](const PlayerNote& n) { note(n); };
  }

  // What the player is doing; a fresh state at each start.
  const PlayerState& state() const { return state_; }

  // Whether the player shows itself when brought forward (started again,
  // or given the focus). Off, it stays in the background whatever happens,
  // as the scripted device's player always has.
  bool shown() const;
  void show();
  void hide();  // back to the Today screen; the player runs on

 private:
  static LRESULT CALLBACK proc(HWND, UINT, WPARAM, LPARAM);
  LRESULT handle(HWND, UINT, WPARAM, LPARAM);
  void changed();  // the state moved: time it and draw it again
  void tap(int control);
  // A command, done by the remote when it takes it, else by the model.
  bool act(unsigned command, uintptr_t wParam = 0);
  void attach(std::unique_ptr<PlayerRemote> remote);
  void updateFromRemote();
  void dropRemote();
  HWND window_ = nullptr;
  wince::History<PlayerMessage> transcript_{kKeptCommands};
  size_t taken_ = 0;  // the number of the first command not yet taken
  Recorder recorder_;
  int starts_ = 0;
  PlayerState state_;
  bool ticking_ = false;
  int pressed_ = -1;  // the control under the pen, while it is down
  std::unique_ptr<PlayerRemote> remote_;
  std::optional<RemoteStatus> shownRemote_;  // what the screen last showed of it
  PlayerNotes notes_;
};

}  // namespace crestune
