// The operations `crestune bench` times, each on a device made ready for it
// outside the timed part: one call of an operation's `run` is one operation.
#pragma once
#include <functional>
#include <memory>
#include <string>

namespace crestune {

class Session;
enum class Build;

namespace bench {

// The device the operations run on. One device lives at a time: asking
// for one kind ends the other.
class Devices {
 public:
  explicit Devices(Build build);
  Build build() const;
  ~Devices();
  // A device with the Today screen up and the Crestune item registered,
  // the player running (buttons view) or not (title view).
  Session& item(bool playerRunning);
  // A device with the Today screen up and nothing installed.
  Session& bare();
  // Ends whichever device lives (before an operation makes its own).
  void end();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// An operation made ready: `run` does it once; `check` (after a first run)
// answers an empty string when it did what it should, or what went wrong.
struct Prepared {
  std::function<void()> run;
  std::function<std::string()> check;
};

// Makes the named operation ready on `devices` (see benchOperations() for
// the names). An operation that cannot run here (a window without SDL)
// answers a `run` that is empty and a `check` that says why.
Prepared prepare(const std::string& name, Devices& devices);

}  // namespace bench
}  // namespace crestune
