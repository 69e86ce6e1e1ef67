// The session bus as the MPRIS bridge uses it, through GDBus: a private
// connection made within a time limit, method calls that each have a
// timeout, and signal subscriptions whose handlers run only when dispatch()
// is called, on the caller's thread, without waiting.
#pragma once
#include <gio/gio.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace crestune::mpris {

// Owners of GLib's reference-counted things.
struct VariantUnref {
  void operator()(GVariant* v) const { g_variant_unref(v); }
};
struct ObjectUnref {
  void operator()(gpointer o) const { g_object_unref(o); }
};
struct ContextUnref {
  void operator()(GMainContext* c) const { g_main_context_unref(c); }
};
struct ErrorFree {
  void operator()(GError* e) const { g_error_free(e); }
};
using Variant = std::unique_ptr<GVariant, VariantUnref>;
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;

// Why the bus cannot be had, in one line.
struct BusError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The address of the session bus as the desktop gives it (the environment,
// else the user's runtime folder); empty when it gives none.
std::string sessionBusAddress();

class Bus {
 public:
  static constexpr std::chrono::milliseconds kCallTimeout{1500};
  static constexpr std::chrono::milliseconds kConnectTimeout{2000};

  // Connects to the bus at `address` within kConnectTimeout; throws
  // BusError.
  explicit Bus(const std::string& address);
  ~Bus();
  Bus(const Bus&) = delete;
  Bus& operator=(const Bus&) = delete;

  // A method call that waits at most kCallTimeout. Takes `args` (a floating
  // tuple, or null). Answers the reply, or null with `error` set.
  Variant call(const std::string& destination, const char* path, const char* interface, const char* method,
               GVariant* args, const GVariantType* reply, std::string& error);
  // Whether a call ran out of time: the peer may be frozen, and every call
  // to it would cost kCallTimeout again.
  bool timedOut() const { return timedOut_; }

  // The handler runs from dispatch() with the signal's member name and
  // arguments. Null strings match anything.
  using Handler = std::function<void(const std::string& member, GVariant* args)>;
  void subscribe(const char* sender, const char* interface, const char* member, const char* path, const char* arg0,
                 Handler handler);

  // Runs the handlers of the signals that arrived; never waits.
  void dispatch();

 private:
  struct Subscription {
    unsigned id = 0;
    Handler handler;
  };
  static void onSignal(GDBusConnection*, const char* sender, const char* path, const char* interface,
                       const char* member, GVariant* args, gpointer self);
  std::unique_ptr<GMainContext, ContextUnref> context_;
  std::unique_ptr<GDBusConnection, ObjectUnref> connection_;
  std::list<Subscription> subscriptions_;  // stable addresses for GDBus's user data
  bool timedOut_ = false;
};

// A dictionary's entries (a{sv}), each value unboxed; none when `dict` is
// null or no such dictionary.
std::vector<std::pair<std::string, Variant>> entries(GVariant* dict);
// Readers of a value that may be of another type: the fallback then.
std::string text(GVariant* v);  // a string or object path; the first of a string array
bool flag(GVariant* v, bool otherwise);

// One track as MPRIS describes it, read from its metadata (a{sv}).
struct Meta {
  std::string id, title, artist, album, url;
  int64_t lengthUs = 0;
};
Meta metaOf(GVariant* dict);
double number(GVariant* v, double otherwise);  // a double or any integer

}  // namespace crestune::mpris
