// What the substitute player is doing: its playlist, the track, transport
// state, volume, repeat and shuffle, and the page it shows. Plain logic,
// driven by the player window with the commands it receives and one tick a
// second while it plays.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace crestune {

// The command codes the player understands, as they arrive in its window.
namespace player_command {
constexpr unsigned kPlay = 0x80C8;
constexpr unsigned kPause = 0x80C9;
constexpr unsigned kStop = 0x80CA;
constexpr unsigned kPrevious = 0x80CB;
constexpr unsigned kNext = 0x80CC;
constexpr unsigned kShuffle = 0x80CD;
constexpr unsigned kRepeat = 0x80CE;
constexpr unsigned kProperties = 0x80D1;
constexpr unsigned kMute = 0x8037;
constexpr unsigned kVolumeUp = 0x8038;
constexpr unsigned kVolumeDown = 0x8039;
constexpr unsigned kCommand = 0x0111;      // WM_COMMAND
constexpr unsigned kPlaylistId = 0x9C4B;   // its wParam that opens the playlist
}  // namespace player_command

struct Track {
  std::u16string title;
  std::u16string artist;
  std::u16string album;
  int seconds = 0;  // 0: not known (a desktop player's stream)
  bool operator==(const Track&) const = default;
};

// Five short pieces, enough to page through.
std::vector<Track> builtInPlaylist();

enum class PlayState { Stopped, Playing, Paused };
enum class PlayerPage { NowPlaying, Properties, Playlist };

// What a player elsewhere reports (a desktop player the substitute passes
// its commands on to), for the screen to show in place of the player's own
// doings. What it leaves out stays as the player's own model has it.
struct RemoteStatus {
  std::vector<Track> playlist;  // its track list, or the track playing alone
  size_t track = 0;
  PlayState state = PlayState::Stopped;
  int position = 0;  // seconds into the track
  std::optional<int> volume;  // 0 to kMaxVolume
  bool muted = false;
  std::optional<std::u16string> repeat;  // how it repeats: "Off", "Track", "Playlist"
  std::optional<bool> shuffle;
  bool operator==(const RemoteStatus&) const = default;
};

class PlayerState {
 public:
  static constexpr int kVolumeStep = 10;
  static constexpr int kMaxVolume = 100;
  static constexpr int kStartVolume = 50;

  explicit PlayerState(std::vector<Track> playlist = builtInPlaylist());

  // Acts on one received message; false when it is none of the player's
  // commands (nothing changes then).
  bool command(unsigned message, uintptr_t wParam = 0);
  // One second passes. While playing the position moves on; at the end of
  // a track the next one starts, as Next would choose it.
  void tick();

  // The person's own controls on the player's screen.
  void showPage(PlayerPage page) { page_ = page; }
  // Starts the given entry of the playlist from its beginning.
  void playTrack(size_t index);
  // Shows what a player elsewhere reports; the page stays.
  void mirror(const RemoteStatus& remote);

  PlayState state() const { return state_; }
  size_t trackIndex() const { return track_; }
  const Track& track() const { return playlist_[track_]; }
  const std::vector<Track>& playlist() const { return playlist_; }
  int position() const { return position_; }  // seconds into the track
  int volume() const { return volume_; }
  bool muted() const { return muted_; }
  bool repeat() const { return repeat_; }
  // How a player elsewhere repeats, in its words; empty for the player's own.
  const std::u16string& repeatMode() const { return repeatMode_; }
  bool shuffle() const { return shuffle_; }
  PlayerPage page() const { return page_; }

 private:
  void play();
  void pause();
  void stop();
  void previous();
  void next();
  void changeVolume(int delta);
  size_t shuffledOther();

  std::vector<Track> playlist_;
  PlayState state_ = PlayState::Stopped;
  size_t track_ = 0;
  int position_ = 0;
  int volume_ = kStartVolume;
  bool muted_ = false;
  bool repeat_ = false;
  std::u16string repeatMode_;
  bool shuffle_ = false;
  PlayerPage page_ = PlayerPage::NowPlaying;
  uint32_t seed_ = 0x2D14C8;  // shuffle order is the same on every run
};

const char16_t* stateName(PlayState s);
// "m:ss"
std::u16string formatTime(int seconds);
// The number in decimal digits, as the player's screen shows counts.
std::u16string decimal(size_t n);

}  // namespace crestune
