// The substitute player's bridge to a desktop player that speaks MPRIS on
// the session bus (mpv, VLC, Rhythmbox, a browser): the player's commands
// go to it, and what it reports (its track, state, position, volume, track
// list) comes back for the player's screen. A player remote of its own kind
// (player_remote.h): the substitute player works the same without it.
#pragma once
#include <memory>
#include <optional>
#include <string>

#include "player_remote.h"

namespace crestune {

// How a script or the command line names a desktop player: "mpris" (the
// first MPRIS player on the session bus, in the order of their names)
// answers "", "mpris:NAME" answers NAME (mpv, or in full
// org.mpris.MediaPlayer2.mpv); anything else answers nothing.
std::optional<std::string> mprisChoice(const std::string& word);

// Connects to the session bus and to the MPRIS player `name` (see
// mprisChoice), and says through `notes` what it found: the player it
// reached, what that player lacks, or why there is none, one line each.
// Null when there is no bus or no such player. Every call to the bus waits
// a second and a half at most.
std::unique_ptr<PlayerRemote> openMprisBridge(const std::string& name, PlayerNotes notes);

}  // namespace crestune
