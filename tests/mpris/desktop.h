// A desktop of the test's own for the MPRIS bridge: a private session bus,
// mpv with its MPRIS script on tones the test writes, playerctl to ask it,
// and a small fake MPRIS player whose lacks each test chooses.
#pragma once
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mpristest {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Waits until `done` holds, looking every 20 ms; false at the deadline.
bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s);

// A program of the test's, ended (and waited for) with the object.
class Child {
 public:
  // With `readOut`, its standard output comes to readLine(); otherwise both
  // its outputs go to `log` (or nowhere).
  Child(const std::vector<std::string>& argv, bool readOut, const fs::path& log = {});
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  bool started() const { return pid_ > 0; }
  // A line of its output, waiting at most `limit`; empty when none came.
  std::string readLine(std::chrono::milliseconds limit);
  void stop();  // SIGTERM, then SIGKILL after a second

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

// Whether a program is on the PATH.
bool installed(const std::string& program);
// Where Debian's mpv-mpris keeps the script; empty when it is not there.
std::string mprisScript();

// A private session bus, its address in DBUS_SESSION_BUS_ADDRESS for this
// process and what it starts, as long as it lives.
class PrivateBus {
 public:
  PrivateBus();
  ~PrivateBus();
  bool up() const { return !address_.empty(); }
  const std::string& address() const { return address_; }

 private:
  std::unique_ptr<Child> daemon_;
  std::string address_;
};

// A short tone as a WAV file with its title and artist in the file.
void writeTone(const fs::path& file, int hertz, const std::string& title, const std::string& artist, int seconds);

// What playerctl says of a player (`playerctl -p NAME WORDS...`), its last
// line break dropped.
std::string playerctl(const std::string& player, const std::string& words);

// Whether a name has an owner on the session bus now.
bool onBus(const std::string& name);

// A fake MPRIS player on the session bus, in a thread of its own: three
// tracks, Next and Previous move along them, and it reports each change as
// a player does.
struct FakeOptions {
  bool volume = true;           // has a Volume property
  bool volumeWritable = true;   // and it can be set
  bool trackList = false;       // offers org.mpris.MediaPlayer2.TrackList
};
class FakePlayer {
 public:
  FakePlayer(const std::string& name, FakeOptions options);
  ~FakePlayer();
  FakePlayer(const FakePlayer&) = delete;
  FakePlayer& operator=(const FakePlayer&) = delete;
  bool started() const;
  // Leaves the bus at once, as a player that quits or crashes.
  void vanish();
  // Stops answering while staying on the bus, as a player that hangs;
  // it answers again when destroyed.
  void freeze();
  // The methods and property writes it received, in order ("Next",
  // "Set Volume 0.4", "GoTo /track/2").
  std::vector<std::string> received() const;

  struct State;

 private:
  std::unique_ptr<State> state_;
  std::thread thread_;
};

}  // namespace mpristest
