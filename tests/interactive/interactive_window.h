// The interactive window run headless on SDL's dummy video driver, with
// the desktop's events made up by the test: a fixture whose run() pumps the
// window and, at each pump, does what the test asked for it.
#pragma once
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>

#include "../standin/temp_folder.h"
#include "interactive.h"
#include "session.h"

namespace crestune {

namespace fs = std::filesystem;

class Interactive : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    options.screenshotOnExit = folder / "last.png";
    options.transcript = folder / "transcript.txt";
    layout = interactiveLayout(options.scale);
  }

  // Runs the window; at each pump, the step for that pump (if any) runs.
  int run(std::map<int, std::function<void(Session&)>> steps, int quitAt) {
    options.onPump = [&, steps](Session& s, int pump) {
      pumps = pump + 1;
      if (auto it = steps.find(pump); it != steps.end()) it->second(s);
      if (pump == quitAt) quit();
    };
    return runInteractive(options, hooks);
  }

  static void pushMouse(Uint32 type, int x, int y) {
    SDL_Event e{};
    e.type = type;
    if (type == SDL_MOUSEMOTION) {
      e.motion.x = x;
      e.motion.y = y;
      e.motion.state = SDL_BUTTON_LMASK;
    } else {
      e.button.button = SDL_BUTTON_LEFT;
      e.button.x = x;
      e.button.y = y;
    }
    SDL_PushEvent(&e);
  }
  static void pushKey(SDL_Keycode key) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = key;
    SDL_PushEvent(&e);
  }
  static void quit() {
    SDL_Event e{};
    e.type = SDL_QUIT;
    SDL_PushEvent(&e);
  }
  void click(int x, int y) {
    pushMouse(SDL_MOUSEBUTTONDOWN, x, y);
    pushMouse(SDL_MOUSEBUTTONUP, x, y);
  }
  // A device point, in the window.
  SDL_Point device(int x, int y) {
    return {layout.screenX + x * layout.scale + layout.scale / 2, layout.screenY + y * layout.scale + layout.scale / 2};
  }
  void tapDevice(int x, int y) {
    SDL_Point p = device(x, y);
    click(p.x, p.y);
  }
  void clickButton(size_t index) {
    const auto& b = layout.buttons.at(index);
    click(b.x + b.w / 2, b.y + b.h / 2);
  }
  static void wait(Session& s, uint64_t ms) {
    s.device().input().push(wince::InputEvent{wince::InputEvent::Kind::Wait, {}, ms, 0, {}});
  }
  std::string transcript() { return standin::readFile(options.transcript); }

  standin::TempDir temp;
  const fs::path folder = temp.path();
  InteractiveOptions options;
  InteractiveHooks hooks;
  InteractiveLayout layout{};
  int pumps = 0;
};

}  // namespace crestune
