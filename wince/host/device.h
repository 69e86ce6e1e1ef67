// The emulated device: one per process. It owns the screen, the virtual
// clock, the input queue, the trace of platform calls and the accounting of
// live objects, and it holds the state of each platform library (registry,
// windows, graphics, modules, shell). Everything the stand-in keeps lives
// here; Device::current() is its one documented global.
#pragma once
#include <windows.h>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "faults.h"
#include "icon_image.h"

namespace wince {

// The state of each platform library. The registry, the window manager and
// the shell answer hosts through their own headers in this folder; the
// graphics, module and resource tables are the stand-in's own.
class RegistryStore;   // registry_store.h
class WindowManager;   // window_manager.h
class ShellState;      // shell_state.h
class GdiState;
class ModuleTable;
class ResourceState;

// Kinds of live objects the device counts, so that tests can check that
// every handle acquired was released.
enum class ObjectKind { Window, Class, GdiObject, Dc, Icon, Menu, Key, Heap, Process, Module, Count };
const char* objectKindName(ObjectKind kind);

class Accounting {
 public:
  void acquire(ObjectKind kind) { ++live_[static_cast<int>(kind)]; }
  void release(ObjectKind kind) { --live_[static_cast<int>(kind)]; }
  int live(ObjectKind kind) const { return live_[static_cast<int>(kind)]; }
  // "windows=1 menus=0 ..." for the kinds with a nonzero count.
  std::string report() const;

 private:
  int live_[static_cast<int>(ObjectKind::Count)] = {};
};

// Time on the device passes only when something waits.
class VirtualClock {
 public:
  uint64_t now() const { return now_; }
  void advance(uint64_t ms) { now_ += ms; }
  void advanceTo(uint64_t t) {
    if (t > now_) now_ = t;
  }

 private:
  uint64_t now_ = 0;
};

// One event of a person's input: pen, keys, the passing of time, and the
// answers a person gives to the device's own dialogs (a menu entry, a message
// box button, a file in the open-file dialog).
struct InputEvent {
  enum class Kind {
    PenDown,
    PenMove,
    PenUp,
    Wait,        // ms: time passes (the pen stays where it is)
    Char,        // text: characters typed
    Key,         // code: a virtual key pressed and released
    ChooseMenu,  // text: the entry of the open menu with this text
    DismissMenu,
    AnswerBox,   // code: the button (IDOK, IDCANCEL, IDYES...) of the message box
    ChooseFile,  // text: the device path chosen in the open-file dialog
    CancelFile,
    ChooseList,  // text: the entry of an open drop-down list
  };
  Kind kind;
  POINT pt{0, 0};
  uint64_t ms = 0;
  int code = 0;
  std::u16string text;
};
const char* inputKindName(InputEvent::Kind kind);

// The pen and key input queue. Modal loops (menus, dialogs, message boxes,
// the tap-and-hold recogniser) read it as the main loop does. When it runs
// dry, the feeder (a scenario script, a test, the interactive window) is
// asked for more; a feeder that has nothing more returns false.
class InputQueue {
 public:
  using Feeder = std::function<bool()>;
  void push(InputEvent e) { events_.push_back(std::move(e)); }
  void pushFront(InputEvent e) { events_.push_front(std::move(e)); }
  // Next event, asking the feeder when empty; nullopt when no input will come.
  std::optional<InputEvent> next();
  // Peek without taking; asks the feeder when empty.
  const InputEvent* peek();
  bool empty() const { return events_.empty(); }
  void clear() { events_.clear(); }
  void setFeeder(Feeder f) { feeder_ = std::move(f); }

 private:
  std::deque<InputEvent> events_;
  Feeder feeder_;
};

// One recorded platform call made by a product library.
struct TraceEntry {
  std::string call;  // "RegOpenKeyExW(HKEY_LOCAL_MACHINE, \"SOFTWARE\\...\", 0, 0) = 0"
  std::string name;  // "RegOpenKeyExW"
  std::vector<std::string> args;  // each argument as written in `call`
};

class Trace {
 public:
  void record(TraceEntry e) {
    if (enabled_) entries_.push_back(std::move(e));
  }
  const std::vector<TraceEntry>& entries() const { return entries_; }
  void clear() { entries_.clear(); }
  void enable(bool on) { enabled_ = on; }
  bool enabled() const { return enabled_; }

 private:
  bool enabled_ = false;
  std::vector<TraceEntry> entries_;
};

// The device's screen: 240x320 pixels of 0x00RRGGBB by default.
struct Screen {
  int width = 240;
  int height = 320;
  int dpi = 96;
  std::vector<uint32_t> pixels;
  void resize(int w, int h) {
    width = w;
    height = h;
    pixels.assign(static_cast<size_t>(w) * h, 0x00FFFFFF);
  }
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// A fault of guest code on the emulated processor (an ARM library's
// undefined instruction, bad memory access or runaway loop): the device's
// failure, never the host's. The first is kept, so that the tool driving
// the device can end with a failure.
struct GuestFault {
  std::string report;  // "device fault: ..." then the registers and the last platform calls
};

struct DeviceOptions {
  // Folder that keeps the device between runs (registry, installed files).
  // Empty: an in-memory device that persists nothing.
  std::filesystem::path folder;
  // Where the device's built-in libraries live (the build's library folder).
  std::filesystem::path romFolder;
  // Where the device build's libraries (ARM PE images) are, when the device
  // runs that build: a library named by its bare name that is not in the
  // device's \Windows folder is that folder's, run on the emulated
  // processor, before any of the host build's. Empty: the host build runs.
  std::filesystem::path deviceBuild;
  int screenWidth = 240;
  int screenHeight = 320;
  int dpi = 96;
  // Wall-clock time (seconds since 1970, UTC) at which the device's clock
  // starts; GetLocalTime adds the virtual time that has passed.
  int64_t startTime = 1796722860;  // 2026-12-08 09:41
};

class Device {
 public:
  explicit Device(DeviceOptions options);
  ~Device();
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  // The device of this process. Exactly one exists while platform calls run.
  static Device& current();
  static bool exists();

  const DeviceOptions& options() const { return options_; }
  Screen& screen() { return screen_; }
  VirtualClock& clock() { return clock_; }
  InputQueue& input() { return input_; }
  Trace& trace() { return trace_; }
  Accounting& accounting() { return accounting_; }
  // Failures planned for the product libraries' next calls.
  FaultPlan& faults() { return faults_; }
  DWORD& lastError() { return lastError_; }

  RegistryStore& registry() { return *registry_; }
  WindowManager& windows() { return *windows_; }
  GdiState& gdi() { return *gdi_; }
  ModuleTable& modules() { return *modules_; }
  ResourceState& resources() { return *resources_; }
  ShellState& shell() { return *shell_; }

  // Something went wrong on the device that no platform call can report
  // (input nobody takes, a message box left unanswered). The tool that drives
  // the device takes these after each step and reports them.
  void reportProblem(std::string what) { problems_.push_back(std::move(what)); }
  std::vector<std::string> takeProblems() { return std::exchange(problems_, {}); }
  void setGuestFault(GuestFault f) {
    if (!guestFault_) guestFault_ = std::move(f);
  }
  const std::optional<GuestFault>& guestFault() const { return guestFault_; }

  // Host path of a device path: "\Windows\x.dll" -> <folder>/Windows/x.dll.
  // Empty without a device folder, and for a path that could lead out of it
  // (DeviceFolder::fileOf says which): the platform answers such a path as
  // one that is not there.
  std::filesystem::path hostPath(const std::u16string& devicePath) const;
  // Why the latest LoadLibraryW refused what its name led to, in words ("..\x.dll
  // leads out of the device folder", "\Windows\x.dll is not a library of this
  // build ..."); empty after a load that succeeded or found nothing.
  const std::string& lastLoadRefusal() const;

  // Objects a test or tool makes directly, without a window or a library.
  // A DC drawing on the screen from `origin`, clipped to `clip` (screen
  // rectangles; none: nothing is drawn). Counted as a live DC until released.
  HDC createScreenDc(POINT origin, std::vector<RECT> clip);
  // False for a handle that is not a live DC of createScreenDc.
  bool releaseScreenDc(HDC dc);
  bool isLiveDc(HDC dc) const;
  // Live DCs, and live GDI objects made by Create* (stock objects aside).
  int liveDcs() const;
  int liveGdiObjects() const;
  // Resources the device provides for a module handle without loading a
  // library (compiled .res bytes, which must outlive the entry).
  void addResourceModule(HMODULE module, const unsigned char* data, size_t size);
  void removeResourceModule(HMODULE module);
  // The image of a live icon handle, or null; an icon made from an image
  // (released with DestroyIcon).
  const IconImage* iconImage(HICON icon) const;
  HICON createIcon(IconImage image);

 private:
  DeviceOptions options_;
  Screen screen_;
  VirtualClock clock_;
  InputQueue input_;
  Trace trace_;
  Accounting accounting_;
  FaultPlan faults_;
  DWORD lastError_ = 0;
  std::vector<std::string> problems_;
  std::optional<GuestFault> guestFault_;
  std::unique_ptr<RegistryStore> registry_;
  std::unique_ptr<ModuleTable> modules_;
  std::unique_ptr<ResourceState> resources_;
  std::unique_ptr<GdiState> gdi_;
  std::unique_ptr<WindowManager> windows_;
  std::unique_ptr<ShellState> shell_;
};

// UTF-16 <-> UTF-8 helpers used throughout the stand-in.
std::string narrow(const std::u16string& s);
std::string narrow(const char16_t* s);
std::u16string widen(const std::string& s);

}  // namespace wince
