// The player's screen: what it draws for a state, and which of its controls
// lies under the pen. Private to the player program.
#pragma once
#include <windows.h>

#include "player_state.h"

namespace crestune {

// The person's controls on the player's screen.
enum PlayerControl {
  kNone = -1,
  kCloseBox,
  kPreviousButton,
  kPlayPauseButton,
  kStopButton,
  kNextButton,
  kMuteButton,
  kVolumeDownButton,
  kVolumeUpButton,
  kRepeatToggle,
  kShuffleToggle,
  kPlaylistTab,
  kPropertiesTab,
  kBackButton,
  kFirstRow,  // playlist rows follow
};

// The control at (x, y) in the player's client coordinates, or kNone.
int playerControlAt(const PlayerState& state, int x, int y);

// Draws the whole screen for `state` into a client area, with the control
// `pressed` (or kNone) drawn held down.
void paintPlayer(HDC hdc, const RECT& client, const PlayerState& state, int pressed);

}  // namespace crestune
