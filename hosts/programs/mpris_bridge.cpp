// The bridge to a desktop MPRIS player: finding it on the session bus,
// passing commands on as method calls and property writes, and keeping what
// it reports from its PropertiesChanged, Seeked and track list signals. The
// signals are taken when the player asks (update()), never by waiting.
#include "mpris_bridge.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "device.h"
#include "mpris_bus.h"

namespace crestune {

namespace {

using mpris::Bus;
using mpris::Meta;
using mpris::metaOf;
using mpris::Variant;

constexpr const char* kPrefix = "org.mpris.MediaPlayer2.";
constexpr const char* kPath = "/org/mpris/MediaPlayer2";
constexpr const char* kRoot = "org.mpris.MediaPlayer2";
constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";
constexpr const char* kTrackList = "org.mpris.MediaPlayer2.TrackList";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr const char* kOnItsOwn = "; the player plays on its own";
constexpr double kVolumeStep = 0.1;
constexpr size_t kMostTracks = 100;  // of a long track list, the first ones

// A track without a title goes by its file's name.
Track trackOf(const Meta& m) {
  std::string title = m.title;
  if (title.empty()) title = m.url.substr(m.url.find_last_of('/') + 1);
  if (title.empty()) title = "Unknown";
  return Track{wince::widen(title), wince::widen(m.artist), wince::widen(m.album),
               static_cast<int>(std::max<int64_t>(0, m.lengthUs) / 1000000)};
}

int64_t nowUs() { return g_get_monotonic_time(); }

class MprisBridge final : public PlayerRemote {
 public:
  MprisBridge(std::unique_ptr<Bus> bus, std::string name, std::string owner, PlayerNotes notes)
      : bus_(std::move(bus)), name_(std::move(name)), owner_(std::move(owner)), notes_(std::move(notes)) {
    identity_ = name_.substr(std::string(kPrefix).size());
  }
  ~MprisBridge() override {
    if (!gone_) say(false, "mpris: let go of " + identity_ + ", which plays on");
  }
  MprisBridge(const MprisBridge&) = delete;
  MprisBridge& operator=(const MprisBridge&) = delete;

  // Subscribes first, then reads everything: nothing that changes in
  // between is missed. Answers false (having said why) when the player
  // went meanwhile.
  bool load() {
    bus_->subscribe("org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged", "/org/freedesktop/DBus",
                    name_.c_str(), [this](const std::string&, GVariant* args) { ownerChanged(args); });
    bus_->subscribe(owner_.c_str(), kProperties, "PropertiesChanged", kPath, nullptr,
                    [this](const std::string&, GVariant* args) { propertiesChanged(args); });
    bus_->subscribe(owner_.c_str(), kPlayer, "Seeked", kPath, nullptr, [this](const std::string&, GVariant* args) {
      gint64 at = 0;
      if (!g_variant_is_of_type(args, G_VARIANT_TYPE("(x)"))) return;
      g_variant_get(args, "(x)", &at);
      setPosition(at);
    });
    bus_->subscribe(owner_.c_str(), kTrackList, nullptr, kPath, nullptr,
                    [this](const std::string&, GVariant*) { readTracks(); });

    std::string error;
    Variant root = getAll(kRoot, error);
    Variant player = getAll(kPlayer, error);
    if (!player) {
      complain("mpris: " + identity_ + " did not tell what it is doing: " + error + kOnItsOwn);
      gone_ = true;
      return false;
    }
    for (const auto& [key, value] : mpris::entries(root.get())) {
      if (key == "Identity" && !mpris::text(value.get()).empty()) identity_ = mpris::text(value.get());
      if (key == "HasTrackList") hasTrackList_ = mpris::flag(value.get(), false);
    }
    readPlayer(player.get(), false);
    say(false, "mpris: connected to " + identity_ + " (" + name_ + ")");
    if (!volume_)
      say(true, "mpris: " + identity_ + " has no volume: Mute and Volume Up/Down act on the player's own screen");
    else if (!volumeWritable())
      say(true, "mpris: " + identity_ + "'s volume cannot be set: Mute and Volume Up/Down act on the player's own screen");
    if (hasTrackList_)
      readTracks();  // which says so when the list cannot be had
    else
      say(true, "mpris: " + identity_ + " has no track list: the Playlist page shows the track playing");
    return !gone_;
  }

  bool command(unsigned message, uintptr_t) override {
    namespace pc = player_command;
    switch (message) {
      case pc::kPlay: return method("Play");
      case pc::kPause: return method("Pause");
      case pc::kStop: return method("Stop");
      case pc::kPrevious: return method("Previous");
      case pc::kNext: return method("Next");
      // What is turned or stepped is first read afresh: a report of an
      // earlier change may still be on its way.
      case pc::kShuffle:
        if (!shuffle_) return lacks("Shuffle");
        refresh("Shuffle");
        if (set("Shuffle", g_variant_new_boolean(!*shuffle_))) shuffle_ = !*shuffle_;
        return true;
      case pc::kRepeat: {
        if (!loop_) return lacks("LoopStatus");
        refresh("LoopStatus");
        // None, Track, Playlist, and round again.
        std::string next = *loop_ == "None" ? "Track" : *loop_ == "Track" ? "Playlist" : "None";
        if (set("LoopStatus", g_variant_new_string(next.c_str()))) loop_ = next;
        return true;
      }
      case pc::kMute:
      case pc::kVolumeUp:
      case pc::kVolumeDown: {
        if (!volume_ || !volumeWritable_) return false;
        refresh("Volume");
        bool silent = muted();
        if (message == pc::kMute && silent) return setVolume(restore_, false);
        if (message == pc::kMute) return (restore_ = *volume_, setVolume(0, true));
        // Changing the volume ends muting, from the level muting kept.
        double from = silent ? restore_ : *volume_;
        double to = std::clamp(from + (message == pc::kVolumeUp ? kVolumeStep : -kVolumeStep), 0.0, 1.0);
        return setVolume(std::round(to * 100) / 100, false);
      }
    }
    return false;
  }

  bool playTrack(size_t index) override {
    if (!hasTrackList_ || index >= tracks_.size() || tracks_[index].id.empty()) return false;
    std::string error;
    GVariant* args = g_variant_new("(o)", tracks_[index].id.c_str());
    if (!ask(kPath, kTrackList, "GoTo", args, nullptr, error))
      complain("mpris: " + identity_ + " did not go to track " + std::to_string(index + 1) + ": " + error);
    return true;
  }

  bool update() override {
    if (!gone_) bus_->dispatch();
    return !gone_;
  }

  RemoteStatus status() const override {
    RemoteStatus s;
    bool listed = hasTrackList_ && !tracks_.empty();
    if (listed) {
      for (const Meta& m : tracks_) s.playlist.push_back(trackOf(m));
      auto at = std::find_if(tracks_.begin(), tracks_.end(), [&](const Meta& m) { return m.id == current_.id; });
      s.track = at == tracks_.end() ? 0 : static_cast<size_t>(at - tracks_.begin());
      // The track playing as its own metadata has it (it may be newer).
      if (at != tracks_.end()) s.playlist[s.track] = trackOf(current_);
    } else if (!current_.id.empty() || !current_.title.empty() || !current_.url.empty()) {
      s.playlist.push_back(trackOf(current_));
    }
    s.state = status_ == "Playing" ? PlayState::Playing : status_ == "Paused" ? PlayState::Paused : PlayState::Stopped;
    s.position = static_cast<int>(positionNow() / 1000000);
    // A volume it will not have set is the player's own to show.
    if (volume_ && volumeWritable_) {
      s.volume = static_cast<int>(std::lround((muted() ? restore_ : *volume_) * PlayerState::kMaxVolume));
      s.muted = muted();
    }
    if (loop_) s.repeat = *loop_ == "Track" ? u"Track" : *loop_ == "Playlist" ? u"Playlist" : u"Off";
    s.shuffle = shuffle_;
    return s;
  }

 private:
  void say(bool problem, const std::string& text) {
    if (notes_) notes_(PlayerNote{problem, text});
  }
  // A call to the player. One that runs out of time ends the bridge: a
  // player that does not answer would cost the whole timeout on every
  // command. Once gone, nothing more goes to the bus.
  Variant ask(const char* path, const char* interface, const char* method, GVariant* args,
              const GVariantType* reply, std::string& error) {
    if (gone_) {
      if (args) g_variant_unref(g_variant_ref_sink(args));
      error = "the player is gone";
      return nullptr;
    }
    Variant answer = bus_->call(owner_, path, interface, method, args, reply, error);
    if (!answer && bus_->timedOut()) {
      gone_ = true;
      say(true, "mpris: " + identity_ + " (" + name_ + ") did not answer within " +
                    std::to_string(Bus::kCallTimeout.count()) + " ms" + kOnItsOwn);
    }
    return answer;
  }
  // A failure said, unless the player is gone (which was said once).
  void complain(const std::string& text) {
    if (!gone_) say(true, text);
  }
  // What the player lacks is said once.
  bool lacks(const std::string& property) {
    if (lacking_.insert(property).second)
      say(true, "mpris: " + identity_ + " has no " + property + ": the player's own screen changes it");
    return false;
  }

  Variant getAll(const char* interface, std::string& error) {
    Variant all = ask(kPath, kProperties, "GetAll", g_variant_new("(s)", interface),
                             G_VARIANT_TYPE("(a{sv})"), error);
    return all ? Variant(g_variant_get_child_value(all.get(), 0)) : nullptr;
  }

  Variant get(const char* interface, const char* property) {
    std::string error;
    Variant v = ask(kPath, kProperties, "Get", g_variant_new("(ss)", interface, property),
                           G_VARIANT_TYPE("(v)"), error);
    if (!v) return nullptr;
    Variant boxed(g_variant_get_child_value(v.get(), 0));
    return Variant(g_variant_get_variant(boxed.get()));
  }

  // A call the player answers; a failure is said, and the command counts
  // as passed on all the same (the player's own model does not act).
  bool method(const char* name) {
    std::string error;
    if (!ask(kPath, kPlayer, name, nullptr, nullptr, error))
      complain("mpris: " + identity_ + " did not take " + name + ": " + error);
    return true;
  }

  bool set(const char* property, GVariant* value, std::string& error) {
    return ask(kPath, kProperties, "Set", g_variant_new("(ssv)", kPlayer, property, value), nullptr,
                      error) != nullptr;
  }
  bool set(const char* property, GVariant* value) {
    std::string error;
    if (set(property, value, error)) return true;
    complain("mpris: " + identity_ + " did not take " + property + ": " + error);
    return false;
  }

  bool setVolume(double level, bool mute) {
    std::string error;
    if (!set("Volume", g_variant_new_double(level), error)) {
      // Once refused, the volume is the player's own from then on.
      volumeWritable_ = false;
      complain("mpris: " + identity_ + "'s volume cannot be set (" + error +
                    "): Mute and Volume Up/Down act on the player's own screen");
      return false;
    }
    volume_ = level;
    muted_ = mute;
    return true;
  }

  // Whether the player describes its Volume as writable; when it does not
  // describe itself, it is taken at its word until a write fails.
  bool volumeWritable() {
    std::string error;
    Variant xml = ask(kPath, "org.freedesktop.DBus.Introspectable", "Introspect", nullptr,
                             G_VARIANT_TYPE("(s)"), error);
    if (!xml) return true;
    const char* text = nullptr;
    g_variant_get(xml.get(), "(&s)", &text);
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(text, nullptr);
    if (!node) return true;
    GDBusInterfaceInfo* iface = g_dbus_node_info_lookup_interface(node, kPlayer);
    GDBusPropertyInfo* volume = iface ? g_dbus_interface_info_lookup_property(iface, "Volume") : nullptr;
    volumeWritable_ = !volume || (volume->flags & G_DBUS_PROPERTY_INFO_FLAGS_WRITABLE);
    g_dbus_node_info_unref(node);
    return volumeWritable_;
  }

  void ownerChanged(GVariant* args) {
    const char *name = nullptr, *from = nullptr, *to = nullptr;
    if (!g_variant_is_of_type(args, G_VARIANT_TYPE("(sss)"))) return;
    g_variant_get(args, "(&s&s&s)", &name, &from, &to);
    if (gone_ || owner_ == to) return;
    gone_ = true;
    say(true, "mpris: " + identity_ + " (" + name_ + ") left the session bus" + kOnItsOwn);
  }

  void propertiesChanged(GVariant* args) {
    if (!g_variant_is_of_type(args, G_VARIANT_TYPE("(sa{sv}as)"))) return;
    const char* interface = nullptr;
    GVariant* changed = nullptr;
    const char** invalidated = nullptr;
    g_variant_get(args, "(&s@a{sv}^a&s)", &interface, &changed, &invalidated);
    Variant owned(changed);
    std::string which = interface;
    if (which == kPlayer) {
      readPlayer(changed, true);
      // A property left out, to be asked for.
      for (const char** p = invalidated; p && *p; ++p) refresh(*p, true);
    } else if (which == kTrackList) {
      readTracks();
    } else if (which == kRoot) {
      for (const auto& [key, value] : mpris::entries(changed))
        if (key == "HasTrackList") {
          hasTrackList_ = mpris::flag(value.get(), false);
          readTracks();
        }
    }
    g_free(invalidated);
  }

  void readPlayer(GVariant* dict, bool news) {
    bool moved = false;  // the position's base is no longer good
    for (const auto& [key, value] : mpris::entries(dict)) {
      GVariant* v = value.get();
      if (key == "PlaybackStatus") {
        status_ = mpris::text(v);
        moved = true;
      } else if (key == "Metadata") {
        Meta m = metaOf(v);
        moved = moved || m.id != current_.id || m.url != current_.url;
        current_ = std::move(m);
      } else if (key == "Rate") {
        rate_ = mpris::number(v, 1.0);
        moved = true;
      } else if (key == "Position") {
        setPosition(static_cast<int64_t>(mpris::number(v, 0)));
      } else if (key == "Volume") {
        volume_ = mpris::number(v, 0);
      } else if (key == "LoopStatus") {
        loop_ = mpris::text(v);
      } else if (key == "Shuffle") {
        shuffle_ = mpris::flag(v, false);
      }
    }
    // Position is never signalled: it is asked for again when the track,
    // the state or the rate changes, and moved on from there meanwhile.
    if (news && moved) {
      Variant p = get(kPlayer, "Position");
      setPosition(p ? static_cast<int64_t>(mpris::number(p.get(), 0)) : 0);
    }
  }

  // Muted is silent still: turned up elsewhere, it is no longer.
  bool muted() const { return muted_ && volume_ && *volume_ < 0.005; }

  // One property read again, taken as a report of it (news: of a change).
  void refresh(const char* property, bool news = false) {
    Variant value = get(kPlayer, property);
    if (!value) return;
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&b, "{sv}", property, value.get());
    Variant one(g_variant_ref_sink(g_variant_builder_end(&b)));
    readPlayer(one.get(), news);
  }

  void setPosition(int64_t us) {
    positionUs_ = us;
    positionAt_ = nowUs();
  }

  int64_t positionNow() const {
    double us = static_cast<double>(positionUs_);
    if (status_ == "Playing") us += rate_ * static_cast<double>(nowUs() - positionAt_);
    if (current_.lengthUs > 0) us = std::min(us, static_cast<double>(current_.lengthUs));
    return std::max<int64_t>(0, static_cast<int64_t>(us));
  }

  void readTracks() {
    tracks_.clear();
    if (!hasTrackList_) return;
    Variant ids = get(kTrackList, "Tracks");
    if (!ids || !g_variant_is_of_type(ids.get(), G_VARIANT_TYPE_OBJECT_PATH_ARRAY)) {
      say(true, "mpris: " + identity_ + " did not tell its track list: the Playlist page shows the track playing");
      hasTrackList_ = false;
      return;
    }
    GVariantBuilder wanted;
    g_variant_builder_init(&wanted, G_VARIANT_TYPE_OBJECT_PATH_ARRAY);
    size_t n = std::min(g_variant_n_children(ids.get()), kMostTracks);
    for (size_t i = 0; i < n; ++i) {
      Variant id(g_variant_get_child_value(ids.get(), i));
      g_variant_builder_add_value(&wanted, id.get());
    }
    std::string error;
    Variant metas = ask(kPath, kTrackList, "GetTracksMetadata",
                               g_variant_new("(@ao)", g_variant_builder_end(&wanted)), G_VARIANT_TYPE("(aa{sv})"), error);
    if (!metas) return;
    Variant list(g_variant_get_child_value(metas.get(), 0));
    for (size_t i = 0; i < g_variant_n_children(list.get()); ++i) {
      Variant dict(g_variant_get_child_value(list.get(), i));
      tracks_.push_back(metaOf(dict.get()));
    }
  }

  std::unique_ptr<Bus> bus_;
  std::string name_;      // its well-known name
  std::string owner_;     // the unique name that holds it
  std::string identity_;  // how it calls itself
  PlayerNotes notes_;
  bool gone_ = false;
  std::set<std::string> lacking_;

  std::string status_ = "Stopped";
  Meta current_;
  double rate_ = 1.0;
  int64_t positionUs_ = 0, positionAt_ = 0;
  std::optional<double> volume_;
  bool volumeWritable_ = true;
  bool muted_ = false;
  double restore_ = 0;  // the level Mute keeps
  std::optional<std::string> loop_;
  std::optional<bool> shuffle_;
  bool hasTrackList_ = false;
  std::vector<Meta> tracks_;
};

// The MPRIS players on the bus, by name; the first one, or the one called
// `name` (in full, short, or an instance of it: vlc for vlc.instance42).
std::string choosePlayer(Bus& bus, const std::string& name, PlayerNotes& notes) {
  auto say = [&](const std::string& text) { notes(PlayerNote{true, "mpris: " + text + kOnItsOwn}); };
  std::string error;
  Variant names = bus.call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "ListNames",
                           nullptr, G_VARIANT_TYPE("(as)"), error);
  if (!names) {
    say("the session bus did not list its names: " + error);
    return {};
  }
  std::vector<std::string> players;
  Variant list(g_variant_get_child_value(names.get(), 0));
  for (size_t i = 0; i < g_variant_n_children(list.get()); ++i) {
    Variant n(g_variant_get_child_value(list.get(), i));
    std::string s = g_variant_get_string(n.get(), nullptr);
    if (s.rfind(kPrefix, 0) == 0) players.push_back(s);
  }
  std::sort(players.begin(), players.end());
  if (players.empty()) {
    say("no MPRIS player on the session bus");
    return {};
  }
  if (name.empty()) return players.front();
  std::string full = name.rfind(kPrefix, 0) == 0 ? name : kPrefix + name;
  for (const std::string& p : players)
    if (p == full || p.rfind(full + ".", 0) == 0) return p;
  std::string there;
  for (const std::string& p : players) there += (there.empty() ? "" : ", ") + p.substr(std::string(kPrefix).size());
  say("no MPRIS player called " + name + " on the session bus (there are: " + there + ")");
  return {};
}

}  // namespace

std::optional<std::string> mprisChoice(const std::string& word) {
  if (word == "mpris") return std::string();
  if (word.rfind("mpris:", 0) != 0) return std::nullopt;
  std::string name = word.substr(6);
  std::string full = name.rfind(kPrefix, 0) == 0 ? name : kPrefix + name;
  if (name.empty() || !g_dbus_is_name(full.c_str()) || g_dbus_is_unique_name(full.c_str())) return std::nullopt;
  return name;
}

std::unique_ptr<PlayerRemote> openMprisBridge(const std::string& name, PlayerNotes notes) {
  std::string address = mpris::sessionBusAddress();
  if (address.empty()) {
    notes(PlayerNote{true, std::string("mpris: no session bus (DBUS_SESSION_BUS_ADDRESS is not set)") + kOnItsOwn});
    return nullptr;
  }
  std::unique_ptr<Bus> bus;
  try {
    bus = std::make_unique<Bus>(address);
  } catch (const mpris::BusError& e) {
    notes(PlayerNote{true, std::string("mpris: ") + e.what() + kOnItsOwn});
    return nullptr;
  }
  std::string chosen = choosePlayer(*bus, name, notes);
  if (chosen.empty()) return nullptr;
  std::string error;
  Variant owner = bus->call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetNameOwner",
                            g_variant_new("(s)", chosen.c_str()), G_VARIANT_TYPE("(s)"), error);
  if (!owner) {
    notes(PlayerNote{true, "mpris: " + chosen + " left the session bus" + kOnItsOwn});
    return nullptr;
  }
  const char* unique = nullptr;
  g_variant_get(owner.get(), "(&s)", &unique);
  auto bridge = std::make_unique<MprisBridge>(std::move(bus), chosen, unique, notes);
  if (!bridge->load()) return nullptr;
  return bridge;
}

}  // namespace crestune
