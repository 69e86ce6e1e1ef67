#include "device.h"

#include "device_error.h"
#include "device_folder.h"
#include "gdi/gdi_state.h"
#include "kernel/modules.h"
#include "kernel/resources.h"
#include "registry_store.h"
#include "shell_state.h"
#include "window_manager.h"

#include <sstream>

namespace wince {

namespace {
Device* g_current = nullptr;  // the one device of this process
}

const char* objectKindName(ObjectKind kind) {
  switch (kind) {
    case ObjectKind::Window: return "windows";
    case ObjectKind::Class: return "classes";
    case ObjectKind::GdiObject: return "gdi-objects";
    case ObjectKind::Dc: return "dcs";
    case ObjectKind::Icon: return "icons";
    case ObjectKind::Menu: return "menus";
    case ObjectKind::Key: return "keys";
    case ObjectKind::Heap: return "heap-blocks";
    case ObjectKind::Process: return "process-handles";
    case ObjectKind::Module: return "modules";
    case ObjectKind::Count: break;
  }
  return "?";
}

std::string Accounting::report() const {
  std::ostringstream out;
  for (int i = 0; i < static_cast<int>(ObjectKind::Count); ++i) {
    if (live_[i] == 0) continue;
    if (out.tellp() > 0) out << ' ';
    out << objectKindName(static_cast<ObjectKind>(i)) << '=' << live_[i];
  }
  return out.str();
}

const char* inputKindName(InputEvent::Kind kind) {
  switch (kind) {
    case InputEvent::Kind::PenDown: return "pen down";
    case InputEvent::Kind::PenMove: return "pen move";
    case InputEvent::Kind::PenUp: return "pen up";
    case InputEvent::Kind::Wait: return "wait";
    case InputEvent::Kind::Char: return "type";
    case InputEvent::Kind::Key: return "key";
    case InputEvent::Kind::ChooseMenu: return "choose menu entry";
    case InputEvent::Kind::DismissMenu: return "dismiss menu";
    case InputEvent::Kind::AnswerBox: return "answer message box";
    case InputEvent::Kind::ChooseFile: return "choose file";
    case InputEvent::Kind::CancelFile: return "cancel file";
    case InputEvent::Kind::ChooseList: return "choose list entry";
  }
  return "?";
}

std::optional<InputEvent> InputQueue::next() {
  if (events_.empty() && feeder_) {
    while (events_.empty() && feeder_()) {
    }
  }
  if (events_.empty()) return std::nullopt;
  InputEvent e = std::move(events_.front());
  events_.pop_front();
  return e;
}

const InputEvent* InputQueue::peek() {
  if (events_.empty() && feeder_) {
    while (events_.empty() && feeder_()) {
    }
  }
  return events_.empty() ? nullptr : &events_.front();
}

Device::Device(DeviceOptions options) : options_(std::move(options)) {
  if (g_current) throw DeviceError("a device already runs in this process");
  screen_.resize(options_.screenWidth, options_.screenHeight);
  screen_.dpi = options_.dpi;
  g_current = this;
  try {
    std::filesystem::path regFile;
    bool fresh = true;
    if (!options_.folder.empty()) {
      regFile = options_.folder / "registry.reg";
      fresh = !std::filesystem::exists(regFile);
    }
    registry_ = std::make_unique<RegistryStore>(regFile, accounting_);
    if (fresh) registry_->seedDefaults();
    modules_ = std::make_unique<ModuleTable>();
    resources_ = std::make_unique<ResourceState>();
    gdi_ = std::make_unique<GdiState>();
    windows_ = std::make_unique<WindowManager>();
    shell_ = std::make_unique<ShellState>();
  } catch (...) {
    g_current = nullptr;
    throw;
  }
}

Device::~Device() {
  // Windows first (their procedures may live in loaded modules), then the
  // modules (whose DllMain may still unregister classes), then the rest.
  windows_->destroyAllWindows();
  modules_.reset();
  windows_.reset();
  shell_.reset();
  gdi_.reset();
  resources_.reset();
  registry_.reset();
  g_current = nullptr;
}

Device& Device::current() {
  if (!g_current) throw DeviceError("no device is running");
  return *g_current;
}

bool Device::exists() { return g_current != nullptr; }

std::filesystem::path Device::hostPath(const std::u16string& devicePath) const {
  return DeviceFolder::fileOf(options_.folder, devicePath);
}

std::string narrow(const char16_t* s) {
  std::u16string w;
  if (s) w = s;
  return narrow(w);
}

std::string narrow(const std::u16string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;  // half a pair: UTF-8 has no form for it
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// UTF-8 to UTF-16. What is not well-formed UTF-8 (a stray continuation
// byte, a sequence cut short, an overlong form such as C0 80 for a NUL, a
// surrogate, a code point past U+10FFFF) becomes U+FFFD, one for each
// maximal ill-formed part, so that no name or line reaches the device with
// a character its bytes did not plainly say.
std::u16string widen(const std::string& s) {
  std::u16string out;
  auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  for (size_t i = 0; i < s.size();) {
    const unsigned char b = byte(i++);
    uint32_t c = b;
    int extra = 0;
    // The lowest and highest second byte each lead byte allows.
    unsigned char low = 0x80, high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
      c = b & 0x1F, extra = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      c = b & 0x0F, extra = 2;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      c = b & 0x07, extra = 3;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    } else if (b >= 0x80) {
      out += u'\uFFFD';
      continue;
    }
    for (int k = 0; k < extra; ++k, ++i) {
      const unsigned char lo = k == 0 ? low : 0x80, hi = k == 0 ? high : 0xBF;
      if (i >= s.size() || byte(i) < lo || byte(i) > hi) {
        c = 0xFFFD;
        break;
      }
      c = (c << 6) | (byte(i) & 0x3F);
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

}  // namespace wince
