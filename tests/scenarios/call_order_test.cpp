// The platform calls the item makes, in order, as the
// device's trace records them: painting, the button faces, the options page,
// and the shell calls.
#include "fixture.h"

#include <map>

#include "device.h"
#include "trace_format.h"

namespace crestune::testing {
namespace {

// "Name(args) = result" -> "result"
std::string resultOf(const std::string& call) {
  size_t at = call.rfind(" = ");
  return at == std::string::npos ? "" : call.substr(at + 3);
}

class CallOrder : public StrictDeviceTest {
 protected:
  HWND itemWindow() { return item()->record.hwndCustom; }
  void repaintItem() {
    InvalidateRect(itemWindow(), nullptr, TRUE);
    windows().runUntilIdle();
  }
};

TEST_F(CallOrder, TheTitleViewPaintsWatermarkLogoThenTitle) {
  registerItem();
  session.startToday();
  ASSERT_TRUE(item());
  traceOn();
  repaintItem();
  Calls calls = traceOff();
  ASSERT_EQ((Calls{"BeginPaint", "GetClientRect", "GetParent", "SendMessageW", "LoadImageW", "DrawIconEx",
                   "DestroyIcon", "SendMessageW", "GetStockObject", "GetObjectW", "CreateFontIndirectW", "SetBkMode",
                   "SetTextColor", "SelectObject", "GetDeviceCaps", "DrawTextW", "SelectObject", "DeleteObject",
                   "EndPaint"}),
            names(calls))
      << text(calls);
  std::string hdc = resultOf(calls[0]);
  std::string today = resultOf(calls[2]);
  std::string icon = resultOf(calls[4]);
  std::string font = resultOf(calls[10]);
  std::string systemFont = resultOf(calls[8]);
  EXPECT_TRUE(starts(calls[3], "SendMessageW(" + today + ", 1125, 0, ")) << calls[3];
  EXPECT_TRUE(starts(calls[4], "LoadImageW(")) << calls[4];
  EXPECT_NE(std::string::npos, calls[4].find(", #101, 1, 16, 16, 0)")) << calls[4];
  EXPECT_EQ("DrawIconEx(" + hdc + ", 3, 2, " + icon + ", 16, 16, 0, NULL, 3) = 1", calls[5]);
  EXPECT_EQ("DestroyIcon(" + icon + ") = 1", calls[6]);
  // The text colour comes from the window the item was created in.
  EXPECT_TRUE(starts(calls[7], "SendMessageW(" + today + ", 1124, 268435460, 0)")) << calls[7];
  EXPECT_TRUE(starts(calls[8], "GetStockObject(13)")) << calls[8];
  EXPECT_TRUE(starts(calls[9], "GetObjectW(" + systemFont + ", 92, ")) << calls[9];
  EXPECT_EQ("SetBkMode(" + hdc + ", 1) = 2", calls[11]);
  EXPECT_TRUE(starts(calls[13], "SelectObject(" + hdc + ", " + font + ")")) << calls[13];
  EXPECT_TRUE(starts(calls[14], "GetDeviceCaps(" + hdc + ", 8)")) << calls[14];
  EXPECT_TRUE(starts(calls[15], "DrawTextW(" + hdc + ", \"Windows Media Player Crestune\", 29, ")) << calls[15];
  EXPECT_NE(std::string::npos, calls[15].find(", 36) = ")) << calls[15];
  EXPECT_EQ("SelectObject(" + hdc + ", " + resultOf(calls[13]) + ") = " + font, calls[16]);
  EXPECT_EQ("DeleteObject(" + font + ") = 1", calls[17]);
}

TEST_F(CallOrder, FacesLoadAndFreeInLoadOrderAndDrawInScreenOrder) {
  registerItem();
  traceOn();
  session.startToday();
  Calls created = traceOff();
  std::map<std::string, std::string> faceOf;  // icon id -> handle
  Calls loaded;
  for (const std::string& c : created) {
    if (!starts(c, "LoadImageW(") || c.find(", #101,") != std::string::npos) continue;
    std::string id = c.substr(c.find('#') + 1, 3);
    loaded.push_back(id);
    faceOf[id] = resultOf(c);
  }
  // Play, Stop, Previous, Next, Pause: each normal face, then its pressed one.
  EXPECT_EQ((Calls{"111", "112", "114", "115", "103", "104", "106", "107", "108", "109"}), loaded) << text(created);

  session.player().start();
  nextRefresh();
  traceOn();
  repaintItem();
  Calls painted = traceOff();
  Calls faces;
  for (const std::string& c : painted)
    if (starts(c, "DrawIconEx(") && c.find(", 3, 2, ") == std::string::npos) faces.push_back(c);
  // Play, Pause, Stop, Previous, Next from x 29, touching one another.
  const struct {
    const char* id;
    const char* at;
  } expected[] = {{"111", "29, 2"}, {"108", "61, 6"}, {"114", "85, 6"}, {"103", "109, 6"}, {"106", "133, 6"}};
  ASSERT_EQ(5u, faces.size()) << text(painted);
  for (size_t i = 0; i < 5; ++i) {
    std::string size = i == 0 ? "32, 32" : "24, 24";
    EXPECT_NE(std::string::npos,
              faces[i].find(std::string(", ") + expected[i].at + ", " + faceOf[expected[i].id] + ", " + size +
                            ", 0, NULL, 3)"))
        << faces[i];
  }

  traceOn();
  session.stopToday();
  Calls destroyed;
  for (const std::string& c : traceOff())
    if (starts(c, "DestroyIcon(")) destroyed.push_back(c.substr(12, c.find(')') - 12));
  Calls freeOrder;
  for (const std::string& id : loaded) freeOrder.push_back(faceOf[id]);
  EXPECT_EQ(freeOrder, destroyed);
}

class OptionsCallOrder : public CallOrder {
 protected:
  void SetUp() override {
    registerItem();
    session.startToday();
    ASSERT_TRUE(item());
  }
};

TEST_F(OptionsCallOrder, InitialisationFollowsItsStepsAndTheFontsGoLinkFirst) {
  traceOn();
  HWND page = nullptr;
  openOptions({[&] {
    page = openDialogWindow();
    queueTapOnControl(1019);
  }});
  Calls all = traceOff();
  Calls init;
  for (const std::string& c : all) {
    if (starts(c, "BeginPaint(")) break;  // the first paint of the page
    init.push_back(c);
  }
  ASSERT_EQ((Calls{"SHInitDialog",
                   // caption and the six control texts
                   "SetWindowTextW", "GetDlgItem", "SetWindowTextW", "GetDlgItem", "SetWindowTextW", "GetDlgItem",
                   "SetWindowTextW", "GetDlgItem", "SetWindowTextW", "GetDlgItem", "SetWindowTextW", "GetDlgItem",
                   "SetWindowTextW",
                   // the settings
                   "RegOpenKeyExW", "GetDC", "GetWindowRect",
                   // link font, then heading font
                   "GetTextMetricsW", "GetDeviceCaps", "CreateFontIndirectW", "GetTextMetricsW", "GetDeviceCaps",
                   "CreateFontIndirectW",
                   // WM_SETFONT to 1010, 1015, 1014
                   "GetDlgItem", "SendMessageW", "GetDlgItem", "SendMessageW", "GetDlgItem", "SendMessageW",
                   // the credit lines: 1014, 1013, 1012, 1011
                   "GetDlgItem", "GetWindowRect", "MoveWindow", "GetDlgItem", "GetWindowRect", "MoveWindow",
                   "GetDlgItem", "GetWindowRect", "MoveWindow", "GetDlgItem", "GetWindowRect", "MoveWindow",
                   // radio button, path, release, update
                   "GetDlgItem", "SendMessageW", "SetDlgItemTextW", "ReleaseDC", "UpdateWindow"}),
            names(init))
      << text(init);
  std::string dlg = wince::traceArg(static_cast<const void*>(page));
  EXPECT_EQ("SHInitDialog(1, " + dlg + ", 5) = 1", init[0]);
  const char* ids[] = {"1010", "1009", "1006", "1015", "1018", "1019"};
  for (size_t i = 0; i < 6; ++i) EXPECT_TRUE(starts(init[2 + 2 * i], "GetDlgItem(" + dlg + ", " + ids[i] + ")"));
  std::string hdc = resultOf(init[15]);
  EXPECT_TRUE(starts(init[18], "GetDeviceCaps(" + hdc + ", 90)")) << init[18];
  std::string link = resultOf(init[19]);
  std::string heading = resultOf(init[22]);
  auto fontSent = [&](size_t i, const char* id, const std::string& font) {
    EXPECT_TRUE(starts(init[i], "GetDlgItem(" + dlg + ", " + id + ")")) << init[i];
    EXPECT_TRUE(starts(init[i + 1], "SendMessageW(" + resultOf(init[i]) + ", 48, ")) << init[i + 1];
    // WPARAM as the trace prints it: the handle's number in decimal.
    EXPECT_NE(std::string::npos,
              init[i + 1].find(", " + std::to_string(std::stoull(font, nullptr, 16)) + ", 0)"))
        << init[i + 1] << " is not " << font;
  };
  fontSent(23, "1010", heading);
  fontSent(25, "1015", heading);
  fontSent(27, "1014", link);
  const char* moved[] = {"1014", "1013", "1012", "1011"};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_TRUE(starts(init[29 + 3 * i], "GetDlgItem(" + dlg + ", " + moved[i] + ")")) << init[29 + 3 * i];
    EXPECT_TRUE(starts(init[31 + 3 * i], "MoveWindow(" + resultOf(init[29 + 3 * i]) + ", 7, ")) << init[31 + 3 * i];
  }
  EXPECT_TRUE(starts(init[42], "SendMessageW(" + resultOf(init[41]) + ", 241, 1, 0)")) << init[42];
  EXPECT_TRUE(starts(init[44], "ReleaseDC(" + dlg + ", " + hdc + ")")) << init[44];

  // WM_DESTROY: the link font first, then the heading font.
  Calls deleted;
  for (const std::string& c : all)
    if (starts(c, "DeleteObject(" + link + ")") || starts(c, "DeleteObject(" + heading + ")")) deleted.push_back(c);
  EXPECT_EQ((Calls{"DeleteObject(" + link + ") = 1", "DeleteObject(" + heading + ") = 1"}), deleted) << text(all);
}

TEST_F(OptionsCallOrder, TheLinkAndBrowseCallTheShellAsTheDeviceExpects) {
  traceOn();
  openOptions({[&] { queueTapOnControl(1014); },
            [&] { queueTapOnControl(1018); },
            [&] { device().input().push(wince::InputEvent{wince::InputEvent::Kind::CancelFile, {}, 0, 0, {}}); },
            [&] { queueTapOnControl(1019); }});
  Calls calls = traceOff();
  Calls shell;
  for (const std::string& c : calls)
    if (starts(c, "ShellExecuteEx(") || starts(c, "GetOpenFileNameW(")) shell.push_back(c);
  ASSERT_EQ(2u, shell.size()) << text(calls);
  // The default verb, no mask: the shell opens the address with the mail program.
  // Default verb, no flags, no owner window, shown normally.
  EXPECT_EQ("ShellExecuteEx(NULL, \"mailto:team@crestune.org\", 0, NULL, 1) = 1", shell[0]);
  EXPECT_NE(std::string::npos, shell[1].find(", \"Open File\", 260, 524288)")) << shell[1];
}

TEST_F(CallOrder, ATapOnTheTitleStartsThePlayerAndLetsGoOfItsProcess) {
  registerItem();
  session.startToday();
  traceOn();
  POINT p = onItem(100, 10);
  tap(p.x, p.y);
  Calls calls = traceOff();
  ASSERT_GE(calls.size(), 4u) << text(calls);
  EXPECT_EQ("SetCapture(" + wince::traceArg(static_cast<const void*>(itemWindow())) + ") = NULL", calls[0]);
  EXPECT_EQ("ReleaseCapture() = 1", calls[1]);
  // SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI
  EXPECT_EQ("ShellExecuteEx(\"open\", \"wmplayer.exe\", 1088, " +
                wince::traceArg(static_cast<const void*>(itemWindow())) + ", 1) = 1",
            calls[2]);
  EXPECT_TRUE(starts(calls[3], "CloseHandle(")) << calls[3];
}

}  // namespace
}  // namespace crestune::testing
