// A player elsewhere that the substitute player passes its commands on to
// (a desktop player, through mpris_bridge.h), and whose doings its screen
// shows instead of its own. The player works the same without one.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "player_state.h"

namespace crestune {

// A line the player has to say about its remote. A problem goes to the
// terminal as well as to the transcript.
struct PlayerNote {
  bool problem = false;
  std::string text;
};
using PlayerNotes = std::function<void(const PlayerNote&)>;

class PlayerRemote {
 public:
  virtual ~PlayerRemote() = default;
  // Passes on one command the player received (player_command codes); false
  // when the remote takes none such, and the player's own model acts on it.
  virtual bool command(unsigned message, uintptr_t wParam) = 0;
  // Starts an entry of its playlist; false when it offers no track list.
  virtual bool playTrack(size_t index) = 0;
  // Takes what the remote reported since the last call, without waiting.
  // False once the remote is gone (it has said why).
  virtual bool update() = 0;
  // What it is doing, its position moved on to this moment.
  virtual RemoteStatus status() const = 0;
};

}  // namespace crestune
