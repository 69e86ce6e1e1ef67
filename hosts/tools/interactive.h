// `crestune interactive`: the emulated device in a window of the desktop. The
// device's screen sits in a simple device body with a row of buttons under
// it; the mouse is the pen, the keyboard the device's keys, and the device's
// clock follows the wall clock.
#pragma once
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace crestune {

class Session;
enum class Build;

// What the body's buttons do beyond the player. Each runs on the device
// between two frames (never inside a menu or a dialog of the device), and
// the device's own dialogs it opens stay live in the window. A hook left
// unset shows its button greyed, and the button does nothing.
struct InteractiveHooks {
  std::function<void(Session&)> options;    // the Crestune item's options
  std::function<void(Session&)> install;    // installs the package on the device
  std::function<void(Session&)> uninstall;  // removes it
  std::function<void(Session&)> player;     // starts the player (unset: as it is, on its own)
};

struct InteractiveOptions {
  std::filesystem::path device;  // empty: a fresh temporary device
  Build build{};                 // the device build (ARM) unless told
  int scale = 2;                 // screen pixels per device pixel, 1 to 4
  std::filesystem::path screenshotOnExit;  // the device's last frame, as PNG
  std::filesystem::path transcript;        // the player's transcript, a line a command, then its state
  std::filesystem::path screenshots;       // where F12 writes the screen (shot-1.png, shot-2.png...)
  // Called each time the window takes the desktop's events, in a modal loop
  // of the device too, with the number of times before: a test feeds its
  // own events (SDL_PushEvent) from here. With it set, the window looks for
  // events at least every frame's time, as it does while the pen is down;
  // without, an idle window sleeps until an event or the device's next timer.
  std::function<void(Session&, int)> onPump;
};

// Opens the window and runs the device until the window is closed (its
// close button or Escape, even while a menu or dialog is open). Answers 0,
// or 1 when the window cannot be opened.
int runInteractive(const InteractiveOptions& options, const InteractiveHooks& hooks);

// The device screen the window shows, in device pixels.
constexpr int kDeviceWidth = 240;
constexpr int kDeviceHeight = 320;

// Where the body's parts are, in window pixels, for a scale.
struct InteractiveLayout {
  int width, height;     // the window
  int screenX, screenY;  // the device screen's top-left
  int scale;
  struct Button {
    const char* label;
    int x, y, w, h;
  };
  std::vector<Button> buttons;  // Player, Options, Install, Uninstall
};
InteractiveLayout interactiveLayout(int scale);

// The window's drawing without its loop, for timing a frame: a window on
// SDL's dummy video driver showing a session's device.
class FrameProbe {
 public:
  explicit FrameProbe(Session& session, int scale = 2);
  ~FrameProbe();
  FrameProbe(const FrameProbe&) = delete;
  FrameProbe& operator=(const FrameProbe&) = delete;
  bool open() const;
  std::string error() const;  // why it did not open
  // One frame as the window draws it when the screen has changed: the
  // screen uploaded, the body and its buttons drawn, the frame presented.
  void frame();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace crestune
