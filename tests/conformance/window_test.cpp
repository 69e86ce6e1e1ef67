// Window classes and windows through the API alone: registering and
// unregistering, creating and destroying (with the messages each sends, as
// tables), parents and owners, FindWindowW, text, window longs, showing,
// and what every call answers for a window that is gone. Enabling, moving
// and destroying a visible window are rows of message_test's sequences.
#include "sequence.h"

namespace {

using namespace seq;

const WCHAR kClass[] = TEXT("CrestuneConfWindow");

class WindowApi : public RecordedTest {
 protected:
  WindowApi() : RecordedTest(kClass) {}
};

// Creating a hidden window. Windows CE sends no non-client messages
// (WM_NCCREATE, WM_NCCALCSIZE) and no WM_PARENTNOTIFY; desktop Win32 does.
const std::vector<Expected> kCreatePopup = {
    {0x0024 /*WM_GETMINMAXINFO*/, 0, 0, kSent | kAnyParams | kOptional},
    {0x0081 /*WM_NCCREATE*/, 0, 0, kSent | kAnyLParam | kDesktop},
    {0x0083 /*WM_NCCALCSIZE*/, 0, 0, kSent | kAnyLParam | kDesktop},
    {WM_CREATE, 0, 0, kSent | kAnyLParam},
    {WM_SIZE, 0, 0, kSent | kAnyLParam | kOptional},
    {WM_MOVE, 0, 0, kSent | kAnyLParam | kOptional},
    {1, 0, 0, kMark},
};
const std::vector<Expected> kCreateChildParentSide = {
    {0x0210 /*WM_PARENTNOTIFY*/, MAKEWPARAM(WM_CREATE, 5), 0, kSent | kAnyLParam | kDesktop},
    {1, 0, 0, kMark},
};
// Destroying a hidden parent: WM_DESTROY to the parent, then its child; desktop
// Win32 ends each with WM_NCDESTROY, children first.
const std::vector<Expected> kDestroyParentAndChild = {
    {WM_DESTROY, 0, 0, kSent},                  // the parent
    {WM_DESTROY, 0, 0, kSent},                  // the child
    {0x0082 /*WM_NCDESTROY*/, 0, 0, kSent | kDesktop},  // the child
    {0x0082 /*WM_NCDESTROY*/, 0, 0, kSent | kDesktop},  // the parent
    {2, 0, 0, kMark},
};

// A hidden popup and its child, each sent its creation messages before the
// call that makes it returns; the child tells its parent only on desktop.
// Destroying the parent destroys the child after it.
TEST_F(WindowApi, AParentAndItsChildAreCreatedAndDestroyedWithTheirMessages) {
  HWND parent = make(WS_POPUP);
  ASSERT_NE(parent, nullptr);
  rec.mark(1);
  EXPECT_TRUE(seq::matches(rec.of(parent), kCreatePopup));
  EXPECT_FALSE(IsWindowVisible(parent));

  rec.clear();
  HWND child = make(WS_CHILD, parent, 5);
  ASSERT_NE(child, nullptr);
  rec.mark(1);
  EXPECT_TRUE(seq::matches(rec.of(parent), kCreateChildParentSide));
  std::vector<Expected> childSide(kCreatePopup.begin() + 1, kCreatePopup.end());
  EXPECT_TRUE(seq::matches(rec.of(child), childSide));

  rec.clear();
  std::vector<HWND> order;
  rec.answer = [&](HWND h, UINT m, WPARAM, LPARAM, LRESULT*) {
    if (m == WM_DESTROY) order.push_back(h);
    return false;
  };
  EXPECT_TRUE(DestroyWindow(parent));
  rec.mark(2);
  EXPECT_TRUE(seq::matches(rec.log(), kDestroyParentAndChild));
  EXPECT_EQ(order, (std::vector<HWND>{parent, child}));
  EXPECT_FALSE(IsWindow(parent));
  EXPECT_FALSE(IsWindow(child));
}

TEST_F(WindowApi, CreateAnsweredMinusOneFailsTheCall) {
  rec.answer = [](HWND, UINT m, WPARAM, LPARAM, LRESULT* r) {
    if (m != WM_CREATE) return false;
    *r = -1;
    return true;
  };
  EXPECT_EQ(make(WS_POPUP), nullptr);
  EXPECT_EQ(FindWindowW(kClass, nullptr), nullptr);
}

TEST_F(WindowApi, ClassesAreRegisteredOnceAndGoOnlyWithoutWindows) {
  const WNDCLASSW wc = windowClass(kClass, DefWindowProcW);
  EXPECT_EQ(RegisterClassW(&wc), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));

  EXPECT_FALSE(UnregisterClassW(TEXT("NoSuchConfClass"), programInstance()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST));

  // Class names match whatever their case.
  HWND h = CreateWindowExW(0, TEXT("crestuneconfwindow"), TEXT(""), WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                           programInstance(), nullptr);
  ASSERT_NE(h, nullptr);
  EXPECT_FALSE(UnregisterClassW(kClass, programInstance()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));
  DestroyWindow(h);

  SetLastError(0);
  EXPECT_EQ(CreateWindowExW(0, TEXT("NoSuchConfClass"), TEXT(""), WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                            programInstance(), nullptr),
            nullptr);
  if (underWine()) GTEST_SKIP() << "Wine answers ERROR_CLASS_DOES_NOT_EXIST where Windows answers ERROR_CANNOT_FIND_WND_CLASS";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST_F(WindowApi, ParentsOwnersAndFindWindow) {
  top = make(WS_POPUP, nullptr, 0, TEXT("Conf Top"));
  HWND child = make(WS_CHILD, top, 7, TEXT("Conf Child"));
  HWND owned = make(WS_POPUP, top, 0, TEXT("Conf Owned"));
  EXPECT_EQ(GetParent(child), top);
  EXPECT_EQ(GetParent(owned), top) << "a popup's owner";
  EXPECT_EQ(GetParent(top), nullptr);

  EXPECT_EQ(FindWindowW(nullptr, TEXT("Conf Top")), top);
  EXPECT_EQ(FindWindowW(kClass, TEXT("conf top")), top) << "titles match whatever their case";
  EXPECT_EQ(FindWindowW(nullptr, TEXT("Conf Child")), nullptr) << "only top-level windows";
  EXPECT_EQ(FindWindowW(TEXT("NoSuchConfClass"), TEXT("Conf Top")), nullptr);
  EXPECT_EQ(FindWindowW(nullptr, TEXT("Conf Nowhere")), nullptr);

  // An owned window goes with its owner.
  DestroyWindow(top);
  EXPECT_FALSE(IsWindow(owned));
}

TEST_F(WindowApi, TextIsCopiedTruncatedAndMeasured) {
  HWND h = make(WS_POPUP, nullptr, 0, TEXT("Crestune"));
  WCHAR buf[16];
  std::fill(std::begin(buf), std::end(buf), WCHAR('#'));
  EXPECT_EQ(GetWindowTextW(h, buf, 5), 4);
  EXPECT_EQ(WString(buf), WString(TEXT("Cres")));
  EXPECT_EQ(buf[5], WCHAR('#')) << "nothing written past the buffer";
  EXPECT_EQ(GetWindowTextLengthW(h), 8);

  rec.clear();
  EXPECT_TRUE(SetWindowTextW(h, TEXT("Remote")));
  EXPECT_TRUE(seq::matches(rec.of(h), {{WM_SETTEXT, 0, 0, kSent | kAnyLParam}}));
  EXPECT_EQ(textOf(h), WString(TEXT("Remote")));
  EXPECT_TRUE(SetWindowTextW(h, TEXT("")));
  EXPECT_EQ(GetWindowTextLengthW(h), 0);
}

TEST_F(WindowApi, WindowLongsReadAndReplace) {
  HWND parent = make(WS_POPUP);
  HWND child = make(WS_CHILD | WS_DISABLED, parent, 42);
  EXPECT_EQ(GetWindowLongW(child, GWL_ID), 42);
  EXPECT_TRUE(GetWindowLongW(child, GWL_STYLE) & WS_CHILD);
  EXPECT_TRUE(GetWindowLongW(child, GWL_STYLE) & WS_DISABLED);
  EXPECT_EQ(GetWindowLongW(child, GWL_USERDATA), 0);
  EXPECT_EQ(SetWindowLongW(child, GWL_USERDATA, 0x1234), 0);
  EXPECT_EQ(SetWindowLongW(child, GWL_USERDATA, 0x5678), 0x1234);
  EXPECT_EQ(GetWindowLongW(child, GWL_USERDATA), 0x5678);
  EXPECT_EQ(SetWindowLongW(child, GWL_ID, 43), 42);
  EXPECT_EQ(GetDlgItem(parent, 43), child);
  EXPECT_FALSE(IsWindowEnabled(child));
}

TEST_F(WindowApi, ShowWindowSendsWmShowWindowOnChangesAndAnswersTheOldVisibility) {
  HWND parent = make(WS_POPUP);
  HWND child = make(WS_CHILD, parent, 1);
  rec.clear();
  EXPECT_FALSE(ShowWindow(child, SW_SHOW)) << "was hidden";
  EXPECT_NE(ShowWindow(child, SW_SHOW), FALSE) << "was visible";
  EXPECT_NE(ShowWindow(child, SW_HIDE), FALSE);
  EXPECT_TRUE(seq::matches(rec.of(child), {{WM_SHOWWINDOW, TRUE, 0, kSent},
                                           {0x0046 /*WM_WINDOWPOSCHANGING*/, 0, 0, kSent | kAnyLParam | kOptional},
                                           {0x0047 /*WM_WINDOWPOSCHANGED*/, 0, 0, kSent | kAnyLParam | kOptional},
                                           {WM_SHOWWINDOW, FALSE, 0, kSent},
                                           {0x0046, 0, 0, kSent | kAnyLParam | kOptional},
                                           {0x0047, 0, 0, kSent | kAnyLParam | kOptional}}));
  // A child of a hidden parent is not visible, whatever its own style says.
  ShowWindow(child, SW_SHOW);
  EXPECT_TRUE(GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE);
  EXPECT_FALSE(IsWindowVisible(child));
}

// Every call on a window that is gone fails with ERROR_INVALID_WINDOW_HANDLE.
struct GoneCall {
  const char* name;
  bool (*fails)(HWND);       // true when the call answered its failure
  const char* wineDeparts;   // how Wine departs from Windows here, or null
};
const GoneCall kGoneCalls[] = {
    {"DestroyWindow", [](HWND h) { return !DestroyWindow(h); }, "Wine answers ERROR_ACCESS_DENIED"},
    {"ShowWindow", [](HWND h) { return !ShowWindow(h, SW_SHOW); }, nullptr},
    {"SetWindowTextW", [](HWND h) { return !SetWindowTextW(h, TEXT("x")); }, nullptr},
    {"GetWindowTextLengthW", [](HWND h) { return GetWindowTextLengthW(h) == 0; }, nullptr},
    {"GetClientRect", [](HWND h) { RECT r; return !GetClientRect(h, &r); }, nullptr},
    {"GetWindowRect", [](HWND h) { RECT r; return !GetWindowRect(h, &r); }, nullptr},
    {"MoveWindow", [](HWND h) { return !MoveWindow(h, 0, 0, 1, 1, FALSE); }, nullptr},
    {"PostMessageW", [](HWND h) { return !PostMessageW(h, WM_USER, 0, 0); }, nullptr},
    {"InvalidateRect", [](HWND h) { return !InvalidateRect(h, nullptr, TRUE); }, nullptr},
    {"UpdateWindow", [](HWND h) { return !UpdateWindow(h); }, "Wine's UpdateWindow answers TRUE for no window"},
    {"SetTimer", [](HWND h) { return SetTimer(h, 1, 10, nullptr) == 0; }, "Wine answers ERROR_INVALID_HANDLE"},
    {"GetParent", [](HWND h) { return GetParent(h) == nullptr; }, nullptr},
    {"GetDC", [](HWND h) { return GetDC(h) == nullptr; }, nullptr},
};

class GoneWindowCalls : public WindowApi, public ::testing::WithParamInterface<GoneCall> {};

TEST_P(GoneWindowCalls, FailWithInvalidWindowHandle) {
  HWND h = make(WS_POPUP);
  ASSERT_TRUE(DestroyWindow(h));
  if (GetParam().wineDeparts && underWine()) GTEST_SKIP() << GetParam().wineDeparts;
  SetLastError(0);
  EXPECT_TRUE(GetParam().fails(h));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_FALSE(IsWindow(h));
}

INSTANTIATE_TEST_SUITE_P(EachCall, GoneWindowCalls, ::testing::ValuesIn(kGoneCalls),
                         [](const ::testing::TestParamInfo<GoneCall>& i) { return std::string(i.param.name); });

}  // namespace
