// Button layout, the inclusive hit test, and the launch-failure text.
#include <gtest/gtest.h>

#include "crestitem.h"
#include "device.h"

namespace {

class Layout : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"LayoutHost";
    RegisterClassW(&wc);
  }
  // Lays the buttons out as they are in an item window of this height.
  void layOut(int height) {
    HWND w = CreateWindowExW(0, u"LayoutHost", u"", WS_POPUP, 0, 0, 240, height, nullptr, nullptr, nullptr, nullptr);
    LayoutButtons(w);
    DestroyWindow(w);
  }
  // Fresh buttons, Play of size `play` and the rest of `other`, laid out.
  void layoutIn(int height, int play, int other) {
    for (int i = 0; i < BUTTON_COUNT; ++i) g_Buttons[i] = TransportButton{0, 0, 0, 0, ButtonIdle, i == 0 ? play : other};
    layOut(height);
  }
  std::vector<LONG> lefts() const {
    std::vector<LONG> v;
    for (const auto& b : g_Buttons) v.push_back(b.left);
    return v;
  }
  wince::Device device{wince::DeviceOptions{}};
};

// Side by side from x 29, each as wide and tall as its face, centred down
// the item; an odd height's half is truncated toward zero.
TEST_F(Layout, ButtonsSitSideBySideCentredDownTheItem) {
  static const struct {
    int height, play, other;
    std::vector<LONG> lefts;
    LONG playTop, otherTop;
  } rows[] = {
      {36, 32, 24, {29, 61, 85, 109, 133}, 2, 6},
      {28, 24, 24, {29, 53, 77, 101, 125}, 2, 2},
      {35, 24, 24, {29, 53, 77, 101, 125}, 5, 5},
      {20, 25, 25, {29, 54, 79, 104, 129}, -2, -2},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << "height " << r.height << ", Play " << r.play);
    layoutIn(r.height, r.play, r.other);
    EXPECT_EQ(r.lefts, lefts());
    for (int i = 0; i < BUTTON_COUNT; ++i) {
      const TransportButton& b = g_Buttons[i];
      EXPECT_EQ(i == BUTTON_PLAY ? r.playTop : r.otherTop, b.top) << "button " << i;
      EXPECT_EQ(b.left + b.size, b.right) << "button " << i;
      EXPECT_EQ(b.top + b.size, b.bottom) << "button " << i;
    }
  }
}

TEST_F(Layout, AnUnloadedButtonTakesNoWidth) {
  layoutIn(36, 32, 24);
  g_Buttons[BUTTON_PAUSE].size = 0;
  layOut(36);
  EXPECT_EQ(61, g_Buttons[BUTTON_PAUSE].left);
  EXPECT_EQ(61, g_Buttons[BUTTON_STOP].left);
}

TEST(HitTest, EveryEdgeIsInside) {
  EXPECT_TRUE(IsPointInRect(29, 2, 61, 34, 61, 34));
  EXPECT_TRUE(IsPointInRect(29, 2, 61, 34, 29, 2));
  EXPECT_FALSE(IsPointInRect(29, 2, 61, 34, 62, 20));
  EXPECT_FALSE(IsPointInRect(29, 2, 61, 34, 40, 35));
  // A pen left of the item reads as a large unsigned word.
  EXPECT_FALSE(IsPointInRect(3, 2, 19, 18, 65535, 10));
  EXPECT_TRUE(IsBetween(-2, -2, 5));
}

TEST(LaunchError, LongPathsAreCutInTheMiddleAndTheWordsStay) {
  std::u16string path = u"\\Start" + std::u16string(1000, u'x') + u"\\player.exe";
  WCHAR text[200];
  for (auto& c : text) c = 0xFFFF;
  int n = FormatLaunchError(text, 200, path.c_str(), u"no encontrado.");
  std::u16string s(text);
  EXPECT_EQ(static_cast<size_t>(n), s.size());
  EXPECT_LE(s.size(), 199u);
  EXPECT_TRUE(s.starts_with(u"\"\\Start"));
  EXPECT_TRUE(s.ends_with(u"player.exe\" no encontrado."));
  EXPECT_NE(std::u16string::npos, s.find(u"..."));
}

}  // namespace
