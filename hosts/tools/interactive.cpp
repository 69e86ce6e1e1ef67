// The device in a desktop window (SDL2): the mouse is the pen, the keyboard
// types, the frame's buttons do what a person would do on the device.
#include "interactive.h"

#if CRESTUNE_HAVE_SDL2
#include <SDL.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "device_error.h"
#include "interactive_draw.h"
#include "product_names.h"
#include "screenshot.h"
#include "registry_store.h"
#include "session.h"
#include "window_manager.h"

namespace crestune {

#if CRESTUNE_HAVE_SDL2
namespace {

using wince::InputEvent;

constexpr uint32_t kPumpWaitMs = 16;     // about sixty frames a second
constexpr uint32_t kIdleWaitMs = 60000;  // the longest sleep of a window with no timer due

using frame_draw::drawBody;
using frame_draw::drawText;
using frame_draw::fillRounded;
using frame_draw::setColour;
using frame_draw::textWidth;

enum FrameButton { kPlayerButton, kOptionsButton, kInstallButton, kUninstallButton };

class Interactive {
 public:
  Interactive(const InteractiveOptions& options, const InteractiveHooks& hooks)
      : options_(options), hooks_(hooks), layout_(interactiveLayout(options.scale)) {}
  ~Interactive() {
    if (body_) SDL_DestroyTexture(body_);
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    if (sdlStarted_) SDL_Quit();
  }

  // The window, its renderer and the screen's texture; false (with the
  // reason in error()) when the desktop gives none.
  bool openWindow() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      error_ = SDL_GetError();
      return false;
    }
    sdlStarted_ = true;
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
    window_ = SDL_CreateWindow("Crestune", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, layout_.width,
                               layout_.height, 0);
    if (window_) renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (window_ && !renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (renderer_)
      texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, kDeviceWidth,
                                   kDeviceHeight);
    if (!texture_) {
      error_ = SDL_GetError();
      return false;
    }
    prepareBody();
    return true;
  }
  const std::string& error() const { return error_; }

  // Shows a session's device without running it (FrameProbe).
  void attach(Session& session) { session_ = &session; }
  // A frame drawn whether or not anything changed.
  void frame() {
    changed_ = true;
    present();
  }

  int run() {
    // A transcript that cannot be written is said before the window opens,
    // not after a whole session of the person's work.
    if (!options_.transcript.empty()) {
      transcript_.open(options_.transcript);
      if (!transcript_) {
        std::cerr << "crestune: cannot write " << options_.transcript.string() << "\n";
        return 1;
      }
    }
    if (!openWindow()) {
      std::cerr << "crestune: cannot open a window: " << error_ << "\n";
      return 1;
    }
    Session session(options_.device, options_.build);
    session_ = &session;
    prepare(session);
    // The player's commands, and what it says of a desktop player, go to the
    // transcript as they arrive: the player keeps only its latest commands.
    if (!options_.transcript.empty()) {
      session.player().setRecorder([this](const PlayerMessage& m) { transcript_ << describe(m) << "\n"; });
      session.player().setNotes([this](const PlayerNote& n) {
        if (n.problem) std::cerr << n.text << "\n";
        transcript_ << n.text << "\n";
      });
    }
    std::cout << "interactive: window " << layout_.width << "x" << layout_.height << ", screen at " << layout_.screenX
              << "," << layout_.screenY << " scale " << layout_.scale << "\n";
    for (const auto& b : layout_.buttons)
      std::cout << "interactive: button " << b.label << " at " << b.x + b.w / 2 << "," << b.y + b.h / 2 << "\n";
    std::cout.flush();

    auto& input = session.device().input();
    // Modal loops of the device (menus, message boxes, dialogs, the
    // tap-and-hold recogniser) ask here for more input: the window stays
    // live while they run. Once the window is closing it has nothing more
    // to give, and every modal loop ends.
    input.setFeeder([this] {
      if (quit_) return false;
      pump();
      present();
      return !quit_;
    });
    lastTick_ = SDL_GetTicks64();
    auto& windows = session.device().windows();
    windows.runUntilIdle();
    while (!quit_) {
      pump();
      windows.runUntilIdle();
      runPendingAction();
      reportProblems();
      present();
      if (windows.quitRequested()) quit_ = true;
    }
    input.setFeeder(nullptr);
    input.clear();
    // What closing cut short (a menu left open, a box unanswered) is no
    // problem of the device.
    session.device().takeProblems();
    int status = finish(session);
    session_ = nullptr;
    return status;
  }

 private:
  // The device starts as its owner left it, with the Today screen up and
  // the Crestune item registered.
  void prepare(Session& s) {
    auto& r = s.device().registry();
    if (!r.keyExists(todayItemKeyPath(itemName()))) registerTodayItem(r, itemName(), "crestitem.dll");
    s.startToday();
  }

  int finish(Session& s) {
    int status = screenshotFailed_ ? 1 : 0;
    try {
      if (!options_.screenshotOnExit.empty()) wince::writePng(s.device().screen(), options_.screenshotOnExit, 1);
    } catch (const wince::DeviceError& e) {
      std::cerr << "crestune: " << e.what() << "\n";
      status = 1;
    }
    if (!options_.transcript.empty()) {
      s.player().setRecorder(nullptr);
      s.player().setNotes(nullptr);
      const PlayerState& state = s.player().state();
      transcript_ << "state: " << wince::narrow(stateName(state.state())) << ", track " << state.trackIndex() + 1
                  << ", volume " << state.volume() << (state.muted() ? ", muted" : "") << "\n";
      transcript_.close();
      if (!transcript_) {
        std::cerr << "crestune: cannot write " << options_.transcript.string() << "\n";
        status = 1;
      }
    }
    return status;
  }

  // F12: the screen as it is now, for a person or a test to look at.
  void screenshot() {
    if (options_.screenshots.empty() || !session_) return;
    try {
      std::filesystem::create_directories(options_.screenshots);
      wince::writePng(session_->device().screen(),
                      options_.screenshots / ("shot-" + std::to_string(++shots_) + ".png"), 1);
    } catch (const std::exception& e) {
      // Said at once, and in the exit status: the session goes on.
      std::cerr << "crestune: " << e.what() << "\n";
      screenshotFailed_ = true;
    }
  }

  void reportProblems() {
    if (quit_) return;
    for (const std::string& p : session_->device().takeProblems()) std::cerr << "crestune: device: " << p << "\n";
  }

  // Takes the desktop's events, waiting a frame's time for the first, and
  // turns them into the device's input; the time that passed goes last.
  void pump() {
    if (options_.onPump) options_.onPump(*session_, pumps_);
    ++pumps_;
    SDL_Event e;
    if (SDL_WaitEventTimeout(&e, static_cast<int>(waitMs()))) {
      handle(e);
      while (!quit_ && SDL_PollEvent(&e)) handle(e);
    }
    uint64_t now = SDL_GetTicks64();
    if (now > lastTick_) push(InputEvent{InputEvent::Kind::Wait, {}, now - lastTick_, 0, {}});
    lastTick_ = now;
  }

  // How long to sleep for events: a frame's time while the pen or a body
  // button is down (the tap-and-hold recogniser needs time to pass) or a
  // test feeds events; otherwise until the device's next timer.
  uint32_t waitMs() const {
    if (penDown_ || pressedButton_ >= 0 || options_.onPump) return kPumpWaitMs;
    const uint64_t due = session_->device().windows().nextTimerDue();
    const uint64_t now = session_->device().clock().now();
    if (due <= now) return 1;
    return static_cast<uint32_t>(std::min<uint64_t>(due - now, kIdleWaitMs));
  }

  void push(InputEvent e) {
    if (!quit_) session_->device().input().push(std::move(e));
  }

  void pen(InputEvent::Kind kind, int x, int y) {
    POINT p{std::clamp((x - layout_.screenX) / layout_.scale, 0, kDeviceWidth - 1),
            std::clamp((y - layout_.screenY) / layout_.scale, 0, kDeviceHeight - 1)};
    push(InputEvent{kind, p, 0, 0, {}});
  }

  bool onScreen(int x, int y) const {
    return x >= layout_.screenX && y >= layout_.screenY && x < layout_.screenX + kDeviceWidth * layout_.scale &&
           y < layout_.screenY + kDeviceHeight * layout_.scale;
  }

  int buttonAt(int x, int y) const {
    for (size_t i = 0; i < layout_.buttons.size(); ++i) {
      const auto& b = layout_.buttons[i];
      if (x >= b.x && y >= b.y && x < b.x + b.w && y < b.y + b.h) return static_cast<int>(i);
    }
    return -1;
  }

  const std::function<void(Session&)>* hookOf(int button) const {
    switch (button) {
      case kOptionsButton: return hooks_.options ? &hooks_.options : nullptr;
      case kInstallButton: return hooks_.install ? &hooks_.install : nullptr;
      case kUninstallButton: return hooks_.uninstall ? &hooks_.uninstall : nullptr;
    }
    return nullptr;
  }
  bool enabled(int button) const { return button == kPlayerButton || hookOf(button); }

  void handle(const SDL_Event& e) {
    switch (e.type) {
      case SDL_QUIT:
        quit_ = true;
        return;
      case SDL_RENDER_TARGETS_RESET:
      case SDL_RENDER_DEVICE_RESET:
        // The body's texture lost what was drawn in it.
        prepareBody();
        changed_ = true;
        return;
      case SDL_WINDOWEVENT:
        changed_ = true;  // shown, exposed, moved: the desktop may want the frame again
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) quit_ = true;
        // A release the window never saw still lifts the pen.
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) liftPen();
        return;
      case SDL_MOUSEBUTTONDOWN:
        if (e.button.button != SDL_BUTTON_LEFT) return;
        liftPen();
        pressedButton_ = -1;
        if (onScreen(e.button.x, e.button.y)) {
          penDown_ = true;
          lastPen_ = {e.button.x, e.button.y};
          pen(InputEvent::Kind::PenDown, e.button.x, e.button.y);
        } else if (int b = buttonAt(e.button.x, e.button.y); b >= 0 && enabled(b)) {
          pressedButton_ = b;
        }
        return;
      case SDL_MOUSEMOTION:
        if (penDown_) {
          lastPen_ = {e.motion.x, e.motion.y};
          pen(InputEvent::Kind::PenMove, e.motion.x, e.motion.y);
        }
        return;
      case SDL_MOUSEBUTTONUP:
        if (e.button.button != SDL_BUTTON_LEFT) return;
        if (penDown_) {
          penDown_ = false;
          pen(InputEvent::Kind::PenUp, e.button.x, e.button.y);
        } else if (pressedButton_ >= 0) {
          // A body button acts when released over itself, between frames.
          if (buttonAt(e.button.x, e.button.y) == pressedButton_) pendingAction_ = pressedButton_;
          pressedButton_ = -1;
        }
        return;
      case SDL_TEXTINPUT:
        push(InputEvent{InputEvent::Kind::Char, {}, 0, 0, wince::widen(e.text.text)});
        return;
      case SDL_KEYDOWN: {
        int code = 0;
        switch (e.key.keysym.sym) {
          case SDLK_ESCAPE: quit_ = true; return;
          case SDLK_F12: screenshot(); return;
          case SDLK_BACKSPACE: code = VK_BACK; break;
          case SDLK_RETURN:
          case SDLK_KP_ENTER: code = VK_RETURN; break;
          case SDLK_TAB: code = VK_TAB; break;
          case SDLK_LEFT: code = VK_LEFT; break;
          case SDLK_RIGHT: code = VK_RIGHT; break;
          case SDLK_UP: code = VK_UP; break;
          case SDLK_DOWN: code = VK_DOWN; break;
          case SDLK_DELETE: code = VK_DELETE; break;
          case SDLK_HOME: code = VK_HOME; break;
          case SDLK_END: code = VK_END; break;
          default: return;
        }
        push(InputEvent{InputEvent::Kind::Key, {}, 0, code, {}});
        return;
      }
    }
  }

  void liftPen() {
    if (!std::exchange(penDown_, false)) return;
    pen(InputEvent::Kind::PenUp, lastPen_.x, lastPen_.y);
  }

  void runPendingAction() {
    int action = std::exchange(pendingAction_, -1);
    if (action < 0 || quit_) return;
    Session& s = *session_;
    try {
      if (action == kPlayerButton) {
        if (s.player().running())
          s.player().close();
        else if (hooks_.player)
          hooks_.player(s);
        else
          s.player().start();
      } else if (const auto* hook = hookOf(action)) {
        (*hook)(s);
      }
      s.device().windows().runUntilIdle();
    } catch (const std::exception& e) {
      std::cerr << "crestune: " << layout_.buttons[static_cast<size_t>(action)].label << ": " << e.what() << "\n";
    }
  }

  // The body drawn once into a texture of the window's size, which each
  // frame then copies. A renderer without target textures draws the body
  // every frame instead.
  void prepareBody() {
    if (body_) SDL_DestroyTexture(body_);
    body_ = nullptr;
    if (!SDL_RenderTargetSupported(renderer_)) return;
    body_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_TARGET, layout_.width,
                              layout_.height);
    if (body_ && SDL_SetRenderTarget(renderer_, body_) == 0) {
      drawBody(renderer_, layout_);
      SDL_SetRenderTarget(renderer_, nullptr);
      return;
    }
    if (body_) SDL_DestroyTexture(body_);
    body_ = nullptr;
  }

  // What the frame shows beyond the device's screen: the pressed body
  // button and whether the player runs.
  int bodyState() const { return (pressedButton_ + 1) * 2 + (session_->player().running() ? 1 : 0); }

  // Presents a frame when the device's screen or the body changed since the
  // last one (or the desktop asked for it again).
  void present() {
    if (quit_) return;
    const wince::Screen& screen = session_->device().screen();
    if (!changed_ && bodyState() == shownBody_ && screen.pixels == shownPixels_) return;
    changed_ = false;
    shownBody_ = bodyState();
    shownPixels_ = screen.pixels;
    if (screen.width == kDeviceWidth && screen.height == kDeviceHeight)
      SDL_UpdateTexture(texture_, nullptr, screen.pixels.data(), kDeviceWidth * 4);
    const int s = layout_.scale;
    if (body_) {
      SDL_Rect whole{0, 0, layout_.width, layout_.height};
      SDL_RenderCopy(renderer_, body_, nullptr, &whole);
    } else {
      drawBody(renderer_, layout_);
    }
    SDL_Rect dest{layout_.screenX, layout_.screenY, kDeviceWidth * s, kDeviceHeight * s};
    SDL_RenderCopy(renderer_, texture_, nullptr, &dest);
    // The buttons: Player lit while the player runs; unset hooks greyed.
    bool playerRunning = session_->player().running();
    for (size_t i = 0; i < layout_.buttons.size(); ++i) {
      const auto& b = layout_.buttons[i];
      int id = static_cast<int>(i);
      bool on = enabled(id);
      uint32_t face = !on ? 0x33363D : id == pressedButton_ ? 0x5A7FB8 : 0x434955;
      setColour(renderer_, face);
      fillRounded(renderer_, b.x, b.y, b.w, b.h, 5 * s);
      if (id == kPlayerButton) {
        setColour(renderer_, playerRunning ? 0x5CE08A : 0x1F2228);
        fillRounded(renderer_, b.x + b.w / 2 - 6 * s, b.y + 2 * s, 12 * s, 2 * s, s);
      }
      setColour(renderer_, on ? 0xE6EAF2 : 0x5C6170);
      drawText(renderer_, b.label, b.x + (b.w - textWidth(b.label, s)) / 2, b.y + (b.h - 7 * s) / 2 + s, s);
    }
    SDL_RenderPresent(renderer_);
  }

  const InteractiveOptions& options_;
  const InteractiveHooks& hooks_;
  InteractiveLayout layout_;
  bool sdlStarted_ = false;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;  // the device's screen
  SDL_Texture* body_ = nullptr;     // the unchanging body, when the renderer draws into textures
  Session* session_ = nullptr;
  bool screenshotFailed_ = false;  // an F12 picture could not be written
  std::ofstream transcript_;  // --transcript, written as the session goes
  bool quit_ = false;
  int shots_ = 0;
  bool penDown_ = false;
  SDL_Point lastPen_{0, 0};  // window pixels
  int pressedButton_ = -1;
  int pendingAction_ = -1;
  int pumps_ = 0;
  uint64_t lastTick_ = 0;
  std::string error_;
  bool changed_ = true;                 // present the next frame whatever it shows
  int shownBody_ = -1;                  // bodyState() of the frame presented last
  std::vector<uint32_t> shownPixels_;  // the device's screen in that frame
};

}  // namespace

int runInteractive(const InteractiveOptions& options, const InteractiveHooks& hooks) {
  Interactive window(options, hooks);
  return window.run();
}

struct FrameProbe::Impl {
  InteractiveOptions options;
  InteractiveHooks hooks;
  Interactive window;
  bool open = false;
  Impl(Session& s, int scale) : options(withScale(scale)), window(options, hooks) {
    // Headless: SDL's dummy driver, drawn by the software renderer.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    open = window.openWindow();
    if (open) window.attach(s);
  }
  static InteractiveOptions withScale(int scale) {
    InteractiveOptions o;
    o.scale = scale;
    return o;
  }
};

FrameProbe::FrameProbe(Session& session, int scale) : impl_(std::make_unique<Impl>(session, scale)) {}
FrameProbe::~FrameProbe() = default;
bool FrameProbe::open() const { return impl_->open; }
std::string FrameProbe::error() const { return impl_->window.error(); }
void FrameProbe::frame() { impl_->window.frame(); }
#else
int runInteractive(const InteractiveOptions&, const InteractiveHooks&) {
  std::cerr << "crestune: this crestune was built without SDL2: no window\n";
  return 1;
}

struct FrameProbe::Impl {};
FrameProbe::FrameProbe(Session&, int) {}
FrameProbe::~FrameProbe() = default;
bool FrameProbe::open() const { return false; }
std::string FrameProbe::error() const { return "built without SDL2"; }
void FrameProbe::frame() {}
#endif

}  // namespace crestune
