// Stand-in only (its Today shell, pixels and trace).
// The person's pen on the item: taps on buttons, tap-and-hold for the menu,
// launching the player, and what lands on the screen.
#include "fixture.h"

#include "device.h"
#include "trace_format.h"

namespace crestune::testing {
namespace {

using Kind = wince::InputEvent::Kind;

class Pen : public StrictDeviceTest {};

// The buttons of both layouts, each where the layout puts it.
class PenOnButtons : public Pen, public ::testing::WithParamInterface<IconSize> {
 protected:
  void SetUp() override {
    if (GetParam() == IconSize::Standard) storeSetting("IconSize", 0);
    startWithPlayer();
  }
  const std::vector<Box>& boxes() { return buttons(GetParam()); }
};

TEST_P(PenOnButtons, EachFaceSitsWhereTheLayoutPutsIt) {
  windows().runUntilIdle();
  ASSERT_EQ(itemHeight(GetParam()), item()->record.cyp);
  auto& screen = device().screen();
  auto light = [](uint32_t px) { return (px & 0xFF) > 0xC0 && ((px >> 8) & 0xFF) > 0xC0; };
  for (int i = 0; i < 5; ++i) {
    const Box& b = boxes()[static_cast<size_t>(i)];
    // A round face: light just inside its top edge at the centre, and the
    // watermark in its corners, where the circle does not reach.
    POINT top = onItem((b.left + b.right) / 2, b.top + 3);
    EXPECT_TRUE(light(screen.at(top.x, top.y))) << "button " << i;
    POINT corner = onItem(b.left, b.top);
    uint32_t watermark = screen.at(onItem(200, b.top).x, onItem(200, b.top).y);
    EXPECT_EQ(watermark, screen.at(corner.x, corner.y)) << "corner of button " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(BothLayouts, PenOnButtons,
                         ::testing::Values(IconSize::Large, IconSize::Standard),
                         [](const ::testing::TestParamInfo<IconSize>& info) {
                           return info.param == IconSize::Large ? "Large" : "Standard";
                         });

TEST_F(Pen, APressedButtonShowsItsPressedFace) {
  startWithPlayer();
  POINT p = centre(0);
  windows().runUntilIdle();
  uint32_t normal = device().screen().at(p.x, p.y - 10);
  input(Kind::PenDown, p.x, p.y);
  windows().runUntilIdle();
  uint32_t pressed = device().screen().at(p.x, p.y - 10);
  // The pressed face is green; the normal one a light blue-white.
  EXPECT_GT((pressed >> 8) & 0xFF, (pressed >> 16) & 0xFF);
  EXPECT_GT(normal & 0xFF, 0xC0u);
  input(Kind::PenUp, p.x, p.y);
  windows().runUntilIdle();
  EXPECT_EQ(normal, device().screen().at(p.x, p.y - 10));
}

// The player found is started, and its process handle let go at once.
TEST_F(Pen, ATapOnTheTitleStartsThePlayerAndLetsGoOfItsProcess) {
  registerItem();
  session.startToday();
  traceOn();
  POINT p = onItem(100, 10);
  tap(p.x, p.y);
  Calls calls = traceOff();
  EXPECT_TRUE(session.player().running());
  EXPECT_EQ(0, device().accounting().live(wince::ObjectKind::Process));
  std::string self = wince::traceArg(static_cast<const void*>(item()->record.hwndCustom));
  ASSERT_GE(calls.size(), 4u) << text(calls);
  // SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI, the item's window as owner.
  EXPECT_EQ("ShellExecuteEx(\"open\", \"wmplayer.exe\", 1088, " + self + ", 1) = 1", calls[2]);
  EXPECT_TRUE(starts(calls[3], "CloseHandle(")) << calls[3];
  nextRefresh();
  EXPECT_EQ(36u, item()->record.cyp);
}

TEST_F(Pen, AThousandTapsPaintsAndMenusLeaveNothingBehind) {
  startWithPlayer();
  auto& a = device().accounting();
  int gdi = a.live(wince::ObjectKind::GdiObject), icons = a.live(wince::ObjectKind::Icon);
  for (int i = 0; i < 1000; ++i) {
    POINT p = centre(i % 5);
    tap(p.x, p.y);
    if (i % 50 == 0) {
      queueMenuAnswer(Kind::DismissMenu);
      windows().runUntilIdle();
    }
  }
  EXPECT_EQ(1000u, session.player().transcript().size());
  EXPECT_EQ(gdi, a.live(wince::ObjectKind::GdiObject));
  EXPECT_EQ(icons, a.live(wince::ObjectKind::Icon));
  EXPECT_EQ(0, a.live(wince::ObjectKind::Menu));
  EXPECT_EQ(0, a.live(wince::ObjectKind::Dc));
  EXPECT_EQ(0, a.live(wince::ObjectKind::Process));
}

TEST_F(Pen, TheTitleIsDrawnInTheHostsColourFromX30) {
  registerItem();
  session.startToday();
  windows().runUntilIdle();
  RECT r;
  GetWindowRect(item()->record.hwndCustom, &r);
  auto& s = device().screen();
  int darkest = 0xFFFFFF, firstX = 1000;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = 20; x < 240; ++x) {
      uint32_t px = s.at(x, y) & 0xFFFFFF;
      int sum = (px & 0xFF) + ((px >> 8) & 0xFF) + ((px >> 16) & 0xFF);
      if (sum < 200) firstX = std::min(firstX, x);
      if (sum < ((darkest & 0xFF) + ((darkest >> 8) & 0xFF) + ((darkest >> 16) & 0xFF))) darkest = static_cast<int>(px);
    }
  EXPECT_GE(firstX, 30);
  EXPECT_LE(firstX, 33);
  // The darkest text pixel is the host's text colour (0x000060 as RGB).
  EXPECT_EQ(0x000060, darkest);
}

// What the title view does with the paint DC beyond the calls the order
// tables watch: the text goes over the watermark transparently, in a font
// made from the system font, which is selected out again before it goes.
TEST_F(Pen, TheTitleViewLeavesThePaintDcAsItFoundIt) {
  registerItem();
  session.startToday();
  ASSERT_TRUE(item());
  traceOn();
  InvalidateRect(item()->record.hwndCustom, nullptr, TRUE);
  windows().runUntilIdle();
  Calls calls = traceOff();
  auto resultOf = [](const std::string& c) { return c.substr(c.rfind(" = ") + 3); };
  auto find = [&](const std::string& prefix) {
    for (const std::string& c : calls)
      if (starts(c, prefix)) return c;
    return std::string();
  };
  std::string hdc = resultOf(find("BeginPaint("));
  std::string systemFont = resultOf(find("GetStockObject(13)"));
  std::string font = resultOf(find("CreateFontIndirectW("));
  EXPECT_TRUE(starts(find("GetObjectW("), "GetObjectW(" + systemFont + ", 92, ")) << text(calls);
  EXPECT_EQ("SetBkMode(" + hdc + ", 1) = 2", find("SetBkMode(")) << text(calls);
  std::string selected = find("SelectObject(" + hdc + ", " + font + ")");
  ASSERT_FALSE(selected.empty()) << text(calls);
  EXPECT_EQ("SelectObject(" + hdc + ", " + resultOf(selected) + ") = " + font,
            find("SelectObject(" + hdc + ", " + resultOf(selected) + ")"));
  EXPECT_TRUE(starts(find("GetDeviceCaps("), "GetDeviceCaps(" + hdc + ", 8)")) << text(calls);
}

// Properties, chosen from the menu: the calls the item makes on the player
// window, as the trace records them, end with the focus given to it.
TEST_F(Pen, PropertiesBringsThePlayerForwardAroundThePost) {
  startWithPlayer();
  const std::string player = wince::traceArg(static_cast<const void*>(session.player().window()));
  queueMenuAnswer(Kind::ChooseMenu, u"Properties...");
  traceOn();
  windows().runUntilIdle();
  Calls calls;
  for (const std::string& c : traceOff())
    if (c.find("(" + player) != std::string::npos) calls.push_back(c);
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ("SetForegroundWindow(" + player + ") = 1", calls[calls.size() - 3]);
  EXPECT_EQ("PostMessageW(" + player + ", 32977, 0, 0) = 1", calls[calls.size() - 2]);
  EXPECT_EQ(0u, calls.back().rfind("SetFocus(" + player + ")", 0));
}

}  // namespace
}  // namespace crestune::testing
