// A fake MPRIS player: three tracks on a connection of its own, served from
// its own thread and main loop, with Volume and the track list as the test
// chooses. It reports each change with PropertiesChanged, as players do.
#include <gio/gio.h>

#include <condition_variable>
#include <cstdio>

#include "desktop.h"

namespace mpristest {

namespace {

constexpr const char* kPath = "/org/mpris/MediaPlayer2";
constexpr int kTracks = 3;
const char* const kNone[] = {nullptr};  // no property invalidated

std::string describe(const FakeOptions& o) {
  std::string volume = !o.volume ? "" : o.volumeWritable ? "<property name='Volume' type='d' access='readwrite'/>"
                                                         : "<property name='Volume' type='d' access='read'/>";
  std::string xml =
      "<node>"
      "<interface name='org.mpris.MediaPlayer2'>"
      "<method name='Raise'/><method name='Quit'/>"
      "<property name='Identity' type='s' access='read'/>"
      "<property name='HasTrackList' type='b' access='read'/>"
      "<property name='CanQuit' type='b' access='read'/>"
      "</interface>"
      "<interface name='org.mpris.MediaPlayer2.Player'>"
      "<method name='Next'/><method name='Previous'/><method name='Pause'/><method name='PlayPause'/>"
      "<method name='Stop'/><method name='Play'/>"
      "<signal name='Seeked'><arg name='Position' type='x'/></signal>"
      "<property name='PlaybackStatus' type='s' access='read'/>"
      "<property name='LoopStatus' type='s' access='readwrite'/>"
      "<property name='Shuffle' type='b' access='readwrite'/>"
      "<property name='Rate' type='d' access='readwrite'/>"
      "<property name='Metadata' type='a{sv}' access='read'/>"
      "<property name='Position' type='x' access='read'/>" +
      volume + "</interface>";
  if (o.trackList)
    xml +=
        "<interface name='org.mpris.MediaPlayer2.TrackList'>"
        "<method name='GetTracksMetadata'><arg name='TrackIds' type='ao' direction='in'/>"
        "<arg name='Metadata' type='aa{sv}' direction='out'/></method>"
        "<method name='GoTo'><arg name='TrackId' type='o' direction='in'/></method>"
        "<property name='Tracks' type='ao' access='read'/>"
        "<property name='CanEditTracks' type='b' access='read'/>"
        "</interface>";
  return xml + "</node>";
}

std::string trackId(int i) { return "/org/mpris/MediaPlayer2/track/" + std::to_string(i + 1); }

GVariant* metadata(int i) {
  GVariantBuilder b;
  g_variant_builder_init(&b, G_VARIANT_TYPE_VARDICT);
  std::string title = "Fake Track " + std::to_string(i + 1);
  const char* artists[] = {"Fake Artist", nullptr};
  g_variant_builder_add(&b, "{sv}", "mpris:trackid", g_variant_new_object_path(trackId(i).c_str()));
  g_variant_builder_add(&b, "{sv}", "xesam:title", g_variant_new_string(title.c_str()));
  g_variant_builder_add(&b, "{sv}", "xesam:artist", g_variant_new_strv(artists, -1));
  g_variant_builder_add(&b, "{sv}", "xesam:album", g_variant_new_string("Fakes"));
  g_variant_builder_add(&b, "{sv}", "mpris:length", g_variant_new_int64(30000000LL * (i + 1)));
  return g_variant_builder_end(&b);
}

}  // namespace

struct FakePlayer::State {
  std::string name;
  FakeOptions options;
  GMainContext* context = g_main_context_new();
  GMainLoop* loop = g_main_loop_new(context, FALSE);
  GDBusConnection* connection = nullptr;
  std::vector<unsigned> registrations;

  mutable std::mutex mutex;  // guards what the test thread reads
  std::condition_variable readyChanged;
  int ready = 0;  // 1 on the bus, -1 failed
  bool frozen = false;  // the player's thread waits instead of answering
  std::vector<std::string> received;

  // The player itself, touched only from its thread.
  int track = 0;
  std::string status = "Playing";
  std::string loopStatus = "None";
  bool shuffle = false;
  double volume = 0.5;

  ~State() {
    g_main_loop_unref(loop);
    g_main_context_unref(context);
  }

  void log(const std::string& what) {
    std::lock_guard<std::mutex> hold(mutex);
    received.push_back(what);
  }

  GVariant* property(const std::string& p) {
    if (p == "Identity") return g_variant_new_string("Fake Player");
    if (p == "HasTrackList") return g_variant_new_boolean(options.trackList);
    if (p == "CanQuit") return g_variant_new_boolean(TRUE);
    if (p == "PlaybackStatus") return g_variant_new_string(status.c_str());
    if (p == "LoopStatus") return g_variant_new_string(loopStatus.c_str());
    if (p == "Shuffle") return g_variant_new_boolean(shuffle);
    if (p == "Rate") return g_variant_new_double(1.0);
    if (p == "Metadata") return metadata(track);
    if (p == "Position") return g_variant_new_int64(0);
    if (p == "Volume") return g_variant_new_double(volume);
    if (p == "CanEditTracks") return g_variant_new_boolean(FALSE);
    if (p == "Tracks") {
      GVariantBuilder b;
      g_variant_builder_init(&b, G_VARIANT_TYPE_OBJECT_PATH_ARRAY);
      for (int i = 0; i < kTracks; ++i) g_variant_builder_add(&b, "o", trackId(i).c_str());
      return g_variant_builder_end(&b);
    }
    return nullptr;
  }

  void changed(const char* interface, std::initializer_list<const char*> names) {
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE_VARDICT);
    for (const char* n : names) g_variant_builder_add(&b, "{sv}", n, property(n));
    g_dbus_connection_emit_signal(connection, nullptr, kPath, "org.freedesktop.DBus.Properties", "PropertiesChanged",
                                  g_variant_new("(sa{sv}^as)", interface, &b, kNone), nullptr);
  }

  void call(const std::string& method, GVariant* args, GDBusMethodInvocation* invocation) {
    const char* player = "org.mpris.MediaPlayer2.Player";
    if (method == "GoTo") {
      const char* id = nullptr;
      g_variant_get(args, "(&o)", &id);
      log(std::string("GoTo ") + id);
      for (int i = 0; i < kTracks; ++i)
        if (trackId(i) == id) track = i;
      changed(player, {"Metadata"});
    } else {
      log(method);
    }
    if (method == "GetTracksMetadata") {
      GVariantIter* ids = nullptr;
      g_variant_get(args, "(ao)", &ids);
      GVariantBuilder b;
      g_variant_builder_init(&b, G_VARIANT_TYPE("aa{sv}"));
      const char* id = nullptr;
      while (g_variant_iter_next(ids, "&o", &id))
        for (int i = 0; i < kTracks; ++i)
          if (trackId(i) == id) g_variant_builder_add_value(&b, metadata(i));
      g_variant_iter_free(ids);
      g_dbus_method_invocation_return_value(invocation, g_variant_new("(aa{sv})", &b));
      return;
    }
    if (method == "Next" && track + 1 < kTracks) ++track;
    if (method == "Previous" && track > 0) --track;
    if (method == "Next" || method == "Previous") changed(player, {"Metadata"});
    std::string before = status;
    if (method == "Play") status = "Playing";
    if (method == "Pause") status = "Paused";
    if (method == "Stop") status = "Stopped";
    if (method == "PlayPause") status = status == "Playing" ? "Paused" : "Playing";
    if (status != before) changed(player, {"PlaybackStatus"});
    g_dbus_method_invocation_return_value(invocation, nullptr);
  }

  bool set(const std::string& p, GVariant* value) {
    char text[64];
    if (p == "Volume") {
      volume = g_variant_get_double(value);
      std::snprintf(text, sizeof text, "Set Volume %.2f", volume);
    } else if (p == "LoopStatus") {
      loopStatus = g_variant_get_string(value, nullptr);
      std::snprintf(text, sizeof text, "Set LoopStatus %s", loopStatus.c_str());
    } else if (p == "Shuffle") {
      shuffle = g_variant_get_boolean(value);
      std::snprintf(text, sizeof text, "Set Shuffle %s", shuffle ? "true" : "false");
    } else {
      return false;
    }
    log(text);
    changed("org.mpris.MediaPlayer2.Player", {p.c_str()});
    return true;
  }

  void serve() {
    g_main_context_push_thread_default(context);
    connection = g_dbus_connection_new_for_address_sync(
        std::getenv("DBUS_SESSION_BUS_ADDRESS"),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    bool up = connection != nullptr;
    if (up) {
      static const GDBusInterfaceVTable vtable = {
          [](GDBusConnection*, const char*, const char*, const char*, const char* method, GVariant* args,
             GDBusMethodInvocation* invocation, gpointer self) { static_cast<State*>(self)->call(method, args, invocation); },
          [](GDBusConnection*, const char*, const char*, const char*, const char* name, GError**, gpointer self) {
            return static_cast<State*>(self)->property(name);
          },
          [](GDBusConnection*, const char*, const char*, const char*, const char* name, GVariant* value, GError** error,
             gpointer self) -> gboolean {
            if (static_cast<State*>(self)->set(name, value)) return TRUE;
            g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_PROPERTY_READ_ONLY, "%s cannot be set", name);
            return FALSE;
          },
          {}};
      GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(describe(options).c_str(), nullptr);
      for (GDBusInterfaceInfo** i = node->interfaces; *i; ++i)
        registrations.push_back(
            g_dbus_connection_register_object(connection, kPath, *i, &vtable, this, nullptr, nullptr));
      g_dbus_node_info_unref(node);
      GVariant* r = g_dbus_connection_call_sync(
          connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
          g_variant_new("(su)", ("org.mpris.MediaPlayer2." + name).c_str(), 4u), G_VARIANT_TYPE("(u)"),
          G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
      guint answer = 0;
      if (r) g_variant_get(r, "(u)", &answer), g_variant_unref(r);
      up = answer == 1;  // the primary owner
    }
    {
      std::lock_guard<std::mutex> hold(mutex);
      ready = up ? 1 : -1;
    }
    readyChanged.notify_all();
    if (up) g_main_loop_run(loop);
    leave();
    g_main_context_pop_thread_default(context);
  }

  void leave() {
    if (!connection) return;
    for (unsigned id : registrations) g_dbus_connection_unregister_object(connection, id);
    registrations.clear();
    g_dbus_connection_close_sync(connection, nullptr, nullptr);
    g_object_unref(connection);
    connection = nullptr;
    while (g_main_context_iteration(context, FALSE)) {
    }
  }
};

FakePlayer::FakePlayer(const std::string& name, FakeOptions options) : state_(std::make_unique<State>()) {
  state_->name = name;
  state_->options = options;
  thread_ = std::thread([s = state_.get()] { s->serve(); });
  std::unique_lock<std::mutex> hold(state_->mutex);
  state_->readyChanged.wait_for(hold, 5s, [&] { return state_->ready != 0; });
}

FakePlayer::~FakePlayer() {
  {
    std::lock_guard<std::mutex> hold(state_->mutex);
    state_->frozen = false;
  }
  state_->readyChanged.notify_all();
  // Asked of the loop itself: a quit before it runs would be lost.
  g_main_context_invoke(
      state_->context,
      [](gpointer loop) {
        g_main_loop_quit(static_cast<GMainLoop*>(loop));
        return G_SOURCE_REMOVE;
      },
      state_->loop);
  thread_.join();
}

bool FakePlayer::started() const {
  std::lock_guard<std::mutex> hold(state_->mutex);
  return state_->ready == 1;
}

void FakePlayer::vanish() {
  g_main_context_invoke(
      state_->context,
      [](gpointer s) {
        static_cast<State*>(s)->leave();
        return G_SOURCE_REMOVE;
      },
      state_.get());
}

void FakePlayer::freeze() {
  {
    std::lock_guard<std::mutex> hold(state_->mutex);
    state_->frozen = true;
  }
  g_main_context_invoke(
      state_->context,
      [](gpointer p) {
        auto* s = static_cast<State*>(p);
        std::unique_lock<std::mutex> hold(s->mutex);
        s->readyChanged.wait(hold, [&] { return !s->frozen; });
        return G_SOURCE_REMOVE;
      },
      state_.get());
}

std::vector<std::string> FakePlayer::received() const {
  std::lock_guard<std::mutex> hold(state_->mutex);
  return state_->received;
}

}  // namespace mpristest
