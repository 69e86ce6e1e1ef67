// The hand on the stand-in: whenever a modal loop finds the input queue
// dry, it looks at what is on the screen and answers it as a person would.
#include <cstdlib>
#include <optional>

#include "hand.h"
#include "faults.h"
#include "shell_state.h"
#include "window_manager.h"

namespace product {

struct Hand::Impl {
  wince::Device& device;
  size_t firstBox = 0, firstMenu = 0;
  std::optional<WString> menuEntry;
  std::function<void(HWND)> driver;
  std::vector<std::string> planned;

  void push(wince::InputEvent e) { device.input().push(std::move(e)); }
  bool feed() {
    using Kind = wince::InputEvent::Kind;
    auto& w = device.windows();
    if (w.openMessageBox()) {
      push({Kind::AnswerBox, {}, 0, IDOK, {}});
    } else if (w.openMenu()) {
      if (menuEntry)
        push({Kind::ChooseMenu, {}, 0, 0, *menuEntry});
      else
        push({Kind::DismissMenu, {}, 0, 0, {}});
      menuEntry.reset();
    } else if (const auto* d = w.openDialog(); d && driver) {
      auto drive = std::move(driver);
      driver = nullptr;
      drive(d->window);
      // Something for the loop to take, so that it looks again whether the
      // driver ended it.
      if (device.input().empty()) push({Kind::Wait, {}, 0, 0, {}});
    } else {
      return false;
    }
    return true;
  }
};

Hand::Hand(ApiPlatform& platform) : impl_(new Impl{platform.device}) {
  forget();
  impl_->device.input().setFeeder([this] { return impl_->feed(); });
}
Hand::~Hand() { impl_->device.input().setFeeder(nullptr); }

std::vector<ShownBox> Hand::boxes() {
  const auto& shown = impl_->device.windows().messageBoxes();
  std::vector<ShownBox> list;
  for (size_t i = impl_->firstBox; i < shown.size(); ++i) list.push_back({shown[i].caption, shown[i].text});
  return list;
}
int Hand::menus() { return static_cast<int>(impl_->device.windows().menusShown().size() - impl_->firstMenu); }
void Hand::forget() {
  impl_->firstBox = impl_->device.windows().messageBoxes().size();
  impl_->firstMenu = impl_->device.windows().menusShown().size();
  impl_->menuEntry.reset();
}
void Hand::chooseFromNextMenu(LPCWSTR entry) {
  if (entry)
    impl_->menuEntry = WString(entry);
  else
    impl_->menuEntry.reset();
}
void Hand::penComesUp(HWND w, POINT p) {
  ClientToScreen(w, &p);
  impl_->push({wince::InputEvent::Kind::PenUp, p, 0, 0, {}});
}
void Hand::penStaysDown(HWND, POINT) { impl_->push({wince::InputEvent::Kind::Wait, {}, 1000, 0, {}}); }
void Hand::driveNextDialog(std::function<void(HWND)> driver) { impl_->driver = std::move(driver); }

void Hand::standInForMail() { impl_->device.shell().mailOpened().clear(); }
std::vector<WString> Hand::mailOpened(DWORD) {
  std::vector<WString> list;
  for (const auto& m : impl_->device.shell().mailOpened()) list.emplace_back(m);
  return list;
}

// The device's shell library has the entry point without its W.
void Hand::failNext(const char* call, int times, int after) {
  std::string name = std::string(call) == "ShellExecuteExW" ? "ShellExecuteEx" : call;
  impl_->device.faults().add(name, 0, times, after);
  impl_->planned.push_back(name);
}
int Hand::failuresPending() {
  int n = 0;
  for (const std::string& call : impl_->planned) n += impl_->device.faults().pending(call);
  return n;
}

std::string Hand::objectsHeld() { return impl_->device.accounting().report(); }

namespace {

// A numeric trace argument back to its value: "NULL", "#12" (a resource
// number), "0x1f", "-3". No watched column holds a key or a string.
long long numberOf(const std::string& arg) {
  if (!arg.empty() && arg[0] == '#') return std::strtoll(arg.c_str() + 1, nullptr, 10);
  return std::strtoll(arg.c_str(), nullptr, 0);  // "NULL" reads as 0
}

std::vector<orders::Call> fromTrace(const std::vector<wince::TraceEntry>& entries) {
  std::vector<orders::Call> calls;
  for (const auto& e : entries) {
    // The shell library's entry point has no W on Windows CE.
    std::string name = e.name == "ShellExecuteEx" ? "ShellExecuteExW" : e.name;
    const orders::Columns* c = orders::watched(name.c_str());
    if (!c) continue;
    auto arg = [&](int i) { return i >= 0 && static_cast<size_t>(i) < e.args.size() ? e.args[i] : std::string(); };
    orders::Call call{name, {}, 0, 0, 0};
    std::string text = arg(c->text);
    if (text.size() >= 2 && text.front() == '"') call.text = text.substr(1, text.size() - 2);
    if (c->a >= 0) call.a = numberOf(arg(c->a));
    if (c->b >= 0) call.b = numberOf(arg(c->b));
    if (c->c >= 0) call.c = numberOf(arg(c->c));
    int h = orders::handleColumn(name.c_str());
    if (h == orders::kResult && e.call.rfind(" = ") != std::string::npos)
      call.handle = std::strtoull(e.call.substr(e.call.rfind(" = ") + 3).c_str(), nullptr, 0);
    else if (h >= 0)
      call.handle = std::strtoull(arg(h).c_str(), nullptr, 0);
    calls.push_back(call);
  }
  return calls;
}

}  // namespace

void Hand::startRecording() {
  impl_->device.trace().clear();
  impl_->device.trace().enable(true);
}
std::vector<orders::Call> Hand::stopRecording() {
  impl_->device.trace().enable(false);
  return fromTrace(impl_->device.trace().entries());
}

bool stackDriftOf(void*, const DWORD_PTR*, int, bool, DWORD_PTR*, int*) { return false; }

}  // namespace product
