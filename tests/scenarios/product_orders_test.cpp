// Stand-in only (the device's trace; the Win32 host records the same tables).
// The product's call orders on the stand-in, read from the device's trace and
// compared with the tables the Win32 test host checks under Wine. The item
// and setup are driven as that host drives them: through their exports, with
// a Today window and a player window of the test's own, by messages sent to
// the item window; only the person's hand in modal loops (a menu entry, a
// box's answer, a dialog's OK) goes through the device's input queue.
#include <ce_setup.h>
#include <todaycmn.h>

#include <cstdlib>

#include "fixture.h"
#include "../orders/product_orders.h"

namespace crestune::testing {
namespace {

constexpr const char16_t* kInstallDir = u"\\Program Files\\Crestune";

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

LRESULT CALLBACK todayProc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
  switch (m) {
    case TODAYM_GETCOLOR:
      return RGB(0, 0, 0);
    case TODAYM_DRAWWATERMARK: {
      auto* info = reinterpret_cast<TODAYDRAWWATERMARKINFO*>(lp);
      FillRect(info->hdc, &info->rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      return TRUE;
    }
  }
  return DefWindowProcW(h, m, wp, lp);
}

HWND makeWindow(const char16_t* cls, WNDPROC proc, const char16_t* title, DWORD style) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.hInstance = nullptr;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = cls;
  RegisterClassW(&wc);
  return CreateWindowExW(0, cls, title, style, 0, 0, 240, 100, nullptr, nullptr, nullptr, nullptr);
}

class ProductOrders : public StrictDeviceTest {
 protected:
  void SetUp() override {
    item_ = LoadLibraryW(u"crestitem.dll");
    setup_ = LoadLibraryW(u"setup.dll");
    ASSERT_TRUE(item_ && setup_);
    create_ = reinterpret_cast<PFNCUSTOMINITIALIZEITEM>(
        reinterpret_cast<void (*)()>(GetProcAddress(item_, reinterpret_cast<LPCSTR>(MAKEINTRESOURCE(240)))));
    options_ = reinterpret_cast<DLGPROC>(
        reinterpret_cast<void (*)()>(GetProcAddress(item_, reinterpret_cast<LPCSTR>(MAKEINTRESOURCE(241)))));
    ASSERT_TRUE(create_ && options_);
    today_ = makeWindow(u"OrdersToday", todayProc, u"Today", WS_VISIBLE);
  }
  void TearDown() override {
    if (IsWindow(player_)) DestroyWindow(player_);
    if (IsWindow(itemWindow_)) DestroyWindow(itemWindow_);
    DestroyWindow(today_);
    FreeLibrary(setup_);
    FreeLibrary(item_);
    StrictDeviceTest::TearDown();
  }

  template <class F>
  F hook(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(setup_, name)));
  }
  void pump() { windows().runUntilIdle(); }
  LRESULT refresh() {
    return SendMessageW(itemWindow_, WM_TODAYCUSTOM_QUERYREFRESHCACHE, 0, reinterpret_cast<LPARAM>(&record_));
  }
  void startPlayer() {
    if (!IsWindow(player_)) player_ = makeWindow(u"OrdersPlayer", DefWindowProcW, u"Windows Media", 0);
  }
  void stopPlayer() {
    if (IsWindow(player_)) DestroyWindow(player_);
    player_ = nullptr;
  }
  void makeItem() {
    if (IsWindow(itemWindow_)) DestroyWindow(itemWindow_);
    record_ = TODAYLISTITEM{};
    record_.fEnabled = TRUE;
    itemWindow_ = create_(&record_, today_);
    record_.hwndCustom = itemWindow_;
  }
  void press(int x, int y) {
    SendMessageW(itemWindow_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(itemWindow_, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    pump();
  }
  // The state a case starts from, set up before the trace is on.
  void prepare(const orders::Case& c) {
    using orders::Action;
    switch (c.action) {
      case Action::StartItem:
        reg().deleteKey(kSettingsKey);
        stopPlayer();
        break;
      case Action::RefreshAway:
        stopPlayer();
        makeItem();
        break;
      case Action::RefreshPlayer:
      case Action::PaintTitle:
        refresh();
        break;
      case Action::PaintButtons:
      case Action::TapButton:
      case Action::HoldMenu:
      case Action::Command:
        startPlayer();
        refresh();
        break;
      case Action::ItemLifetime:
        if (IsWindow(itemWindow_)) DestroyWindow(itemWindow_);
        setIconSize(1);
        startPlayer();
        break;
      case Action::TapTitle:
        stopPlayer();
        storePath("\\nowhere\\player.exe");
        makeItem();
        refresh();
        break;
      default:
        break;
    }
  }
  void act(const orders::Case& c) {
    using orders::Action;
    switch (c.action) {
      case Action::StartItem:
        makeItem();
        break;
      case Action::RefreshAway:
        refresh();
        break;
      case Action::RefreshPlayer:
        startPlayer();
        refresh();
        break;
      case Action::PaintTitle:
      case Action::PaintButtons:
        InvalidateRect(itemWindow_, nullptr, TRUE);
        UpdateWindow(itemWindow_);
        break;
      case Action::TapButton: {
        const Box& b = buttons(IconSize::Large).at(static_cast<size_t>(c.arg));
        press((b.left + b.right) / 2, (b.top + b.bottom) / 2);
        break;
      }
      case Action::TapTitle:
        device().input().push(wince::InputEvent{wince::InputEvent::Kind::AnswerBox, {}, 0, IDOK, {}});
        press(100, 10);
        break;
      case Action::HoldMenu: {
        static const char16_t* entries[] = {u"", u"Mute", u"Volume Up", u"Volume Down"};
        auto& in = device().input();
        in.push(wince::InputEvent{wince::InputEvent::Kind::Wait, {}, 1000, 0, {}});
        in.push(wince::InputEvent{wince::InputEvent::Kind::ChooseMenu, {}, 0, 0, entries[c.arg]});
        SendMessageW(itemWindow_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 18));
        pump();
        break;
      }
      case Action::Command:
        SendMessageW(itemWindow_, WM_COMMAND, static_cast<WPARAM>(c.arg), 0);
        pump();
        break;
      case Action::ItemLifetime:
        makeItem();
        refresh();
        pump();
        DestroyWindow(itemWindow_);
        break;
      case Action::OptionsConfirm:
        whileOpen([&] { return DialogBoxParamW(item_, MAKEINTRESOURCEW(500), today_, options_, 0); },
                  {[&] { SendMessageW(openDialogWindow(), WM_COMMAND, IDOK, 0); }});
        break;
      case Action::Install:
      case Action::Reinstall: {
        auto init = hook<pfnINSTALL_INIT>("Install_Init");
        auto exit = hook<pfnINSTALL_EXIT>("Install_Exit");
        whileOpen([&] { return INT_PTR{init(nullptr, TRUE, c.action == Action::Reinstall, kInstallDir)}; },
                  {[&] { SendMessageW(openDialogWindow(), WM_COMMAND, IDOK, 0); }});
        exit(nullptr, kInstallDir, 0, 0, 0, 0, 0);
        break;
      }
      case Action::Remove:
        hook<pfnUNINSTALL_INIT>("Uninstall_Init")(nullptr, kInstallDir);
        hook<pfnUNINSTALL_EXIT>("Uninstall_Exit")(nullptr);
        break;
    }
  }

  HMODULE item_ = nullptr, setup_ = nullptr;
  PFNCUSTOMINITIALIZEITEM create_ = nullptr;
  DLGPROC options_ = nullptr;
  HWND today_ = nullptr, player_ = nullptr, itemWindow_ = nullptr;
  TODAYLISTITEM record_{};
};

TEST_F(ProductOrders, EveryCaseFollowsItsTable) {
  for (size_t i = 0; i < orders::kCaseCount; ++i) {
    const orders::Case& c = orders::kCases[i];
    prepare(c);
    pump();
    traceOn();
    act(c);
    device().trace().enable(false);
    std::vector<orders::Call> got = fromTrace(device().trace().entries());
    std::string problem = orders::compare(got, c.steps, c.rows);
    EXPECT_TRUE(problem.empty()) << c.name << ": " << problem;
  }
}

}  // namespace
}  // namespace crestune::testing
