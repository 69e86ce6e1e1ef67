// Loading the button faces when one of them is missing from the library.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "crestitem.h"
#include "device.h"
#include "window_manager.h"

namespace {

class ButtonLoad : public ::testing::Test {
 protected:
  void useResources(const char* variant) {
    std::ifstream f(std::string(CRESTUNE_TEST_DATA) + "/missing_" + variant + ".res", std::ios::binary);
    bytes_.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    ASSERT_FALSE(bytes_.empty());
    device.addResourceModule(kModule, bytes_.data(), bytes_.size());
    g_ItemContext.instance = reinterpret_cast<HINSTANCE>(kModule);
    g_ItemContext.playIconSize = 32;
    g_ItemContext.otherIconSize = 24;
    for (auto& b : g_Buttons) b = TransportButton{};
  }
  void TearDown() override {
    FreeAllButtons();
    device.removeResourceModule(kModule);
    g_ItemContext.instance = nullptr;
  }
  std::vector<LONG> states() const {
    std::vector<LONG> v;
    for (const auto& b : g_Buttons) v.push_back(b.state);
    return v;
  }
  static inline const HMODULE kModule = reinterpret_cast<HMODULE>(0x7A000000);
  wince::Device device{wince::DeviceOptions{}};
  std::vector<unsigned char> bytes_;
};

TEST_F(ButtonLoad, AMissingPlayFaceIsReportedOnceAndStopsTheLoad) {
  useResources("play");
  device.input().push(wince::InputEvent{wince::InputEvent::Kind::AnswerBox, {}, 0, IDOK, {}});
  LoadAllButtons();
  const auto& boxes = device.windows().messageBoxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(u"Button:140, Size:32, Instance:" + std::u16string(u"2046820352"), boxes[0].text);
  EXPECT_EQ(u"Error", boxes[0].caption);
  EXPECT_EQ((std::vector<LONG>{0, 0, 0, 0, 0}), states());
  EXPECT_EQ(0, device.accounting().live(wince::ObjectKind::Icon)) << "nothing after Play was tried";
}

TEST_F(ButtonLoad, AMissingPressedStopFaceStopsTheLoadSilently) {
  useResources("stop");
  LoadAllButtons();
  EXPECT_TRUE(device.windows().messageBoxes().empty());
  // Play loaded; Stop kept its normal face but is not marked loaded;
  // Previous, Next and Pause were not tried.
  EXPECT_EQ((std::vector<LONG>{ButtonIdle, 0, 0, 0, 0}), states());
  EXPECT_EQ(3, device.accounting().live(wince::ObjectKind::Icon));
  FreeAllButtons();
  EXPECT_EQ(0, device.accounting().live(wince::ObjectKind::Icon));
  FreeAllButtons();  // a second free destroys nothing twice
  EXPECT_EQ(0, device.accounting().live(wince::ObjectKind::Icon));
}

TEST_F(ButtonLoad, AnUnknownButtonIdLoadsNothing) {
  useResources("stop");
  TransportButton b{};
  EXPECT_EQ(0, LoadButton(g_ItemContext.instance, 24, &b, 145));
  EXPECT_EQ(0, LoadButton(g_ItemContext.instance, 24, &b, 139));
  EXPECT_EQ(nullptr, b.normalIcon);
  EXPECT_TRUE(device.windows().messageBoxes().empty());
}

}  // namespace
