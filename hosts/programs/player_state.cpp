#include "player_state.h"

#include <algorithm>

namespace crestune {

std::vector<Track> builtInPlaylist() {
  return {
      {u"Morning Tide", u"Harbour Lights", u"Coastlines", 214},
      {u"Glass Orchard", u"The Vellum Set", u"Paper Weather", 187},
      {u"Northbound", u"Harbour Lights", u"Coastlines", 242},
      {u"Slow Signal", u"Mira Okafor", u"Quiet Hours", 163},
      {u"Lantern Song", u"The Vellum Set", u"Paper Weather", 275},
  };
}

const char16_t* stateName(PlayState s) {
  switch (s) {
    case PlayState::Playing: return u"Playing";
    case PlayState::Paused: return u"Paused";
    case PlayState::Stopped: break;
  }
  return u"Stopped";
}

std::u16string decimal(size_t n) {
  std::u16string s;
  for (char c : std::to_string(n)) s += static_cast<char16_t>(c);
  return s;
}

std::u16string formatTime(int seconds) {
  seconds = std::max(0, seconds);
  std::u16string s = decimal(static_cast<size_t>(seconds / 60));
  s += u':';
  s += static_cast<char16_t>(u'0' + (seconds % 60) / 10);
  s += static_cast<char16_t>(u'0' + seconds % 10);
  return s;
}

PlayerState::PlayerState(std::vector<Track> playlist) : playlist_(std::move(playlist)) {
  // The player always has something to show.
  if (playlist_.empty()) playlist_.push_back({u"No media", u"", u"", 1});
  for (Track& t : playlist_) t.seconds = std::max(1, t.seconds);
}

bool PlayerState::command(unsigned message, uintptr_t wParam) {
  namespace pc = player_command;
  switch (message) {
    case pc::kPlay: play(); return true;
    case pc::kPause: pause(); return true;
    case pc::kStop: stop(); return true;
    case pc::kPrevious: previous(); return true;
    case pc::kNext: next(); return true;
    case pc::kMute: muted_ = !muted_; return true;
    case pc::kVolumeUp: changeVolume(kVolumeStep); return true;
    case pc::kVolumeDown: changeVolume(-kVolumeStep); return true;
    case pc::kRepeat: repeat_ = !repeat_; return true;
    case pc::kShuffle: shuffle_ = !shuffle_; return true;
    case pc::kProperties: page_ = PlayerPage::Properties; return true;
    case pc::kCommand:
      // Only the whole wParam counts: a notification code in its high word
      // makes it another command.
      if (wParam != pc::kPlaylistId) return false;
      page_ = PlayerPage::Playlist;
      return true;
  }
  return false;
}

void PlayerState::tick() {
  if (state_ != PlayState::Playing) return;
  if (++position_ < track().seconds) return;
  next();
}

void PlayerState::playTrack(size_t index) {
  if (index >= playlist_.size()) return;
  track_ = index;
  position_ = 0;
  state_ = PlayState::Playing;
}

void PlayerState::mirror(const RemoteStatus& remote) {
  playlist_ = remote.playlist;
  if (playlist_.empty()) playlist_.push_back({u"No media", u"", u"", 0});
  track_ = std::min(remote.track, playlist_.size() - 1);
  state_ = remote.state;
  position_ = std::max(0, remote.position);
  if (remote.volume) {
    volume_ = std::clamp(*remote.volume, 0, kMaxVolume);
    muted_ = remote.muted;
  }
  if (remote.repeat) {
    repeatMode_ = *remote.repeat;
    repeat_ = repeatMode_ != u"Off";
  }
  if (remote.shuffle) shuffle_ = *remote.shuffle;
}

void PlayerState::play() { state_ = PlayState::Playing; }

// As media players do, Pause on a paused player plays on.
void PlayerState::pause() {
  if (state_ == PlayState::Playing)
    state_ = PlayState::Paused;
  else if (state_ == PlayState::Paused)
    state_ = PlayState::Playing;
}

void PlayerState::stop() {
  state_ = PlayState::Stopped;
  position_ = 0;
}

void PlayerState::previous() {
  if (track_ > 0)
    --track_;
  else if (repeat_)
    track_ = playlist_.size() - 1;
  position_ = 0;
}

// Shuffle never runs out of tracks. In order, the last track goes on to the
// first with repeat; without, the player stops there, ready at the first.
void PlayerState::next() {
  position_ = 0;
  if (shuffle_ && playlist_.size() > 1) {
    track_ = shuffledOther();
  } else if (track_ + 1 < playlist_.size()) {
    ++track_;
  } else {
    track_ = 0;
    if (!repeat_) state_ = PlayState::Stopped;
  }
}

// Changing the volume also ends muting.
void PlayerState::changeVolume(int delta) {
  volume_ = std::clamp(volume_ + delta, 0, kMaxVolume);
  muted_ = false;
}

size_t PlayerState::shuffledOther() {
  seed_ = seed_ * 1103515245u + 12345u;
  size_t step = 1 + (seed_ >> 16) % (playlist_.size() - 1);
  return (track_ + step) % playlist_.size();
}

}  // namespace crestune
