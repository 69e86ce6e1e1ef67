// The session bus through GDBus: a connection of the bridge's own (never
// the process's shared one), its signals tied to a main context of its own
// that only dispatch() runs.
#include "mpris_bus.h"

#include <sys/stat.h>

#include <cstdlib>

namespace crestune::mpris {

namespace {

// Makes a context the thread's default while it lives: GDBus ties the
// callbacks of what is started meanwhile to it.
class ThreadDefault {
 public:
  explicit ThreadDefault(GMainContext* c) : c_(c) { g_main_context_push_thread_default(c_); }
  ~ThreadDefault() { g_main_context_pop_thread_default(c_); }
  ThreadDefault(const ThreadDefault&) = delete;
  ThreadDefault& operator=(const ThreadDefault&) = delete;

 private:
  GMainContext* c_;
};

std::string messageOf(GError* e) {
  if (!e) return "no answer";
  if (g_dbus_error_is_remote_error(e)) g_dbus_error_strip_remote_error(e);
  return e->message;
}

}  // namespace

std::string sessionBusAddress() {
  if (const char* a = std::getenv("DBUS_SESSION_BUS_ADDRESS"); a && *a) return a;
  // Where a desktop session's bus listens when the environment does not
  // say. Nothing is started to find one.
  if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run) {
    std::string path = std::string(run) + "/bus";
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) return "unix:path=" + path;
  }
  return {};
}

Bus::Bus(const std::string& address) : context_(g_main_context_new()) {
  struct Pending {
    GDBusConnection* connection = nullptr;
    GError* error = nullptr;
    bool done = false;
  } pending;
  std::unique_ptr<GCancellable, ObjectUnref> cancel(g_cancellable_new());
  {
    ThreadDefault tied(context_.get());
    // The connection is made asynchronously so that it can be given up on
    // when the far end does not answer.
    g_dbus_connection_new_for_address(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, cancel.get(),
        [](GObject*, GAsyncResult* result, gpointer data) {
          auto* p = static_cast<Pending*>(data);
          p->connection = g_dbus_connection_new_for_address_finish(result, &p->error);
          p->done = true;
        },
        &pending);
    GSource* limit = g_timeout_source_new(static_cast<guint>(kConnectTimeout.count()));
    g_source_set_callback(
        limit,
        [](gpointer c) {
          g_cancellable_cancel(static_cast<GCancellable*>(c));
          return G_SOURCE_REMOVE;
        },
        cancel.get(), nullptr);
    g_source_attach(limit, context_.get());
    while (!pending.done) g_main_context_iteration(context_.get(), TRUE);
    g_source_destroy(limit);
    g_source_unref(limit);
  }
  ErrorPtr error(pending.error);
  if (!pending.connection) {
    bool timedOut = g_cancellable_is_cancelled(cancel.get());
    throw BusError("cannot reach the session bus at " + address + ": " +
                   (timedOut ? "no answer within " + std::to_string(kConnectTimeout.count()) + " ms"
                             : messageOf(error.get())));
  }
  connection_.reset(pending.connection);
  g_dbus_connection_set_exit_on_close(connection_.get(), FALSE);
}

Bus::~Bus() {
  if (connection_) {
    for (const Subscription& s : subscriptions_) g_dbus_connection_signal_unsubscribe(connection_.get(), s.id);
    // Closing is local: the stream ends, nothing waits on the far end.
    g_dbus_connection_close_sync(connection_.get(), nullptr, nullptr);
    connection_.reset();
  }
  // What is still queued for the context (signals that came too late)
  // holds references until it runs; it finds no subscription and frees them.
  if (context_)
    for (int i = 0; i < 1000 && g_main_context_iteration(context_.get(), FALSE); ++i) {
    }
}

Variant Bus::call(const std::string& destination, const char* path, const char* interface, const char* method,
                  GVariant* args, const GVariantType* reply, std::string& error) {
  GError* e = nullptr;
  GVariant* answer = g_dbus_connection_call_sync(connection_.get(), destination.c_str(), path, interface, method, args,
                                                 reply, G_DBUS_CALL_FLAGS_NO_AUTO_START,
                                                 static_cast<int>(kCallTimeout.count()), nullptr, &e);
  ErrorPtr owned(e);
  if (!answer) {
    error = messageOf(e);
    if (e && g_error_matches(e, G_IO_ERROR, G_IO_ERROR_TIMED_OUT)) timedOut_ = true;
  }
  return Variant(answer);
}

void Bus::subscribe(const char* sender, const char* interface, const char* member, const char* path, const char* arg0,
                    Handler handler) {
  ThreadDefault tied(context_.get());
  Subscription& s = subscriptions_.emplace_back(Subscription{0, std::move(handler)});
  s.id = g_dbus_connection_signal_subscribe(connection_.get(), sender, interface, member, path, arg0,
                                            G_DBUS_SIGNAL_FLAGS_NONE, onSignal, &s, nullptr);
}

void Bus::onSignal(GDBusConnection*, const char*, const char*, const char*, const char* member, GVariant* args,
                   gpointer self) {
  static_cast<Subscription*>(self)->handler(member ? member : "", args);
}

void Bus::dispatch() {
  // A bounded number of rounds: a flood of signals never holds the device.
  for (int i = 0; i < 1000 && g_main_context_iteration(context_.get(), FALSE); ++i) {
  }
}

std::vector<std::pair<std::string, Variant>> entries(GVariant* dict) {
  std::vector<std::pair<std::string, Variant>> out;
  if (!dict || !g_variant_is_of_type(dict, G_VARIANT_TYPE_VARDICT)) return out;
  GVariantIter iter;
  g_variant_iter_init(&iter, dict);
  const char* key = nullptr;
  GVariant* value = nullptr;
  while (g_variant_iter_next(&iter, "{&sv}", &key, &value)) out.emplace_back(key, Variant(value));
  return out;
}

std::string text(GVariant* v) {
  if (!v) return {};
  if (g_variant_is_of_type(v, G_VARIANT_TYPE_STRING) || g_variant_is_of_type(v, G_VARIANT_TYPE_OBJECT_PATH))
    return g_variant_get_string(v, nullptr);
  if (g_variant_is_of_type(v, G_VARIANT_TYPE_STRING_ARRAY) && g_variant_n_children(v) > 0) {
    Variant first(g_variant_get_child_value(v, 0));
    return g_variant_get_string(first.get(), nullptr);
  }
  return {};
}

bool flag(GVariant* v, bool otherwise) {
  return v && g_variant_is_of_type(v, G_VARIANT_TYPE_BOOLEAN) ? g_variant_get_boolean(v) != FALSE : otherwise;
}

double number(GVariant* v, double otherwise) {
  if (!v) return otherwise;
  switch (g_variant_classify(v)) {
    case G_VARIANT_CLASS_DOUBLE: return g_variant_get_double(v);
    case G_VARIANT_CLASS_INT64: return static_cast<double>(g_variant_get_int64(v));
    case G_VARIANT_CLASS_UINT64: return static_cast<double>(g_variant_get_uint64(v));
    case G_VARIANT_CLASS_INT32: return g_variant_get_int32(v);
    case G_VARIANT_CLASS_UINT32: return g_variant_get_uint32(v);
    case G_VARIANT_CLASS_INT16: return g_variant_get_int16(v);
    case G_VARIANT_CLASS_UINT16: return g_variant_get_uint16(v);
    case G_VARIANT_CLASS_BYTE: return g_variant_get_byte(v);
    default: return otherwise;
  }
}

Meta metaOf(GVariant* dict) {
  Meta m;
  for (const auto& [key, value] : mpris::entries(dict)) {
    if (key == "mpris:trackid") m.id = mpris::text(value.get());
    else if (key == "xesam:title") m.title = mpris::text(value.get());
    else if (key == "xesam:artist") m.artist = mpris::text(value.get());
    else if (key == "xesam:album") m.album = mpris::text(value.get());
    else if (key == "xesam:url") m.url = mpris::text(value.get());
    else if (key == "mpris:length") m.lengthUs = static_cast<int64_t>(mpris::number(value.get(), 0));
  }
  return m;
}

}  // namespace crestune::mpris
