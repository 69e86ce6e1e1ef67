// crestitem.dll as the Today shell drives it: its exports and resources,
// its height answers, and what the player window receives from taps, holds
// and menu commands.
#include "product.h"

namespace product {
namespace {

using Codes = std::vector<UINT>;

class Item : public ProductTest {};

TEST_F(Item, ExportsTheTwoOrdinalsAndNoNames) {
  for (const char* name : {"CreateItemWindow", "OptionsDialogProc", "OptionsDialogProc@16", "_OptionsDialogProc@16",
                           "InitializeCustomItem", "CustomItemOptionsDlgProc"})
    EXPECT_EQ(nullptr, GetProcAddress(item, name)) << name;
  for (int neighbour : {239, 242})
    EXPECT_EQ(nullptr, GetProcAddress(item, reinterpret_cast<LPCSTR>(MAKEINTRESOURCE(neighbour)))) << neighbour;
}

TEST_F(Item, OrdinalTwoFortyIsACFunctionAndTwoFortyOneACallback) {
  TODAYLISTITEM disabled{};
  const DWORD_PTR create[] = {reinterpret_cast<DWORD_PTR>(&disabled), 0};
  const DWORD_PTR dialog[] = {0, WM_NULL, 0, 0};
  DWORD_PTR made = 1, answer = 1;
  int drift = -1;
  if (!stackDriftOf(reinterpret_cast<void*>(createItem), create, 2, true, &made, &drift))
    GTEST_SKIP() << "calling conventions are a matter of x86 Win32: x86-64 and ARM, the stand-in's two builds, have one each";
  EXPECT_EQ(0u, made);
  EXPECT_EQ(0, drift) << "240 leaves its arguments to the caller";
  stackDriftOf(reinterpret_cast<void*>(optionsProc), dialog, 4, false, &answer, &drift);
  EXPECT_EQ(static_cast<DWORD_PTR>(FALSE), answer);
  EXPECT_EQ(0, drift) << "241 pops its own arguments";
}

// Each face's icon group holds an image of the size the item draws it at
// (and loads it at), not one the loader would scale.
TEST_F(Item, EachFaceHoldsAnImageOfTheSizeItIsDrawnAt) {
  static const struct {
    int id, size;
  } rows[] = {{101, 16}, {103, 24}, {104, 24}, {106, 24}, {107, 24}, {108, 24}, {109, 24},
              {111, 24}, {111, 32}, {112, 24}, {112, 32}, {114, 24}, {115, 24}};
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << "icon " << r.id << " at " << r.size);
    HRSRC group = FindResourceW(item, MAKEINTRESOURCEW(r.id), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_NE(nullptr, group);
    const BYTE* dir = static_cast<const BYTE*>(LockResource(LoadResource(item, group)));
    ASSERT_NE(nullptr, dir);
    // The directory: reserved, type, count, then 14-byte entries whose first
    // byte is the width and whose last two the image's resource number.
    int count = dir[4] | (dir[5] << 8), found = 0;
    for (int i = 0; i < count; ++i) {
      const BYTE* e = dir + 6 + 14 * i;
      if (e[0] == r.size && e[1] == r.size &&
          FindResourceW(item, MAKEINTRESOURCEW(e[12] | (e[13] << 8)), MAKEINTRESOURCEW(3)))  // RT_ICON
        ++found;
    }
    EXPECT_EQ(1, found);
    HANDLE loaded = LoadImageW(item, MAKEINTRESOURCEW(r.id), IMAGE_ICON, r.size, r.size, 0);
    EXPECT_NE(nullptr, loaded);
    if (loaded) DestroyIcon(static_cast<HICON>(loaded));
  }
}

TEST_F(Item, OnlyAnEnabledRecordMakesAWindowAVisibleChildOfToday) {
  TODAYLISTITEM disabled{};
  EXPECT_EQ(nullptr, createItem(&disabled, today));
  EXPECT_EQ(nullptr, createItem(nullptr, today));
  ASSERT_NE(nullptr, makeItem());
  EXPECT_EQ(today, GetParent(itemWindow));
  EXPECT_TRUE(IsWindowVisible(itemWindow));
  EXPECT_TRUE(hand.boxes().empty());
}

// The refresh query, one row a step: the height answered and whether the
// item says it changed. A row that stores an IconSize makes the item again.
TEST_F(Item, TheHeightFollowsThePlayerAndTheStoredIconSize) {
  enum Step { Ask, PlayerUp, PlayerGone, StoreSize, StoreLanguageOnly };
  static const struct {
    Step step;
    DWORD iconSize;
    UINT height;
    BOOL changed;
  } rows[] = {
      {Ask, 0, 20, TRUE},         // no player, no settings
      {Ask, 0, 20, FALSE},        // asked again
      {PlayerUp, 0, 36, TRUE},    // no settings at all: the large Play button
      {Ask, 0, 36, FALSE},
      {StoreSize, 1, 36, FALSE},  // a new item, given the record the last one filled in
      {StoreSize, 0, 28, TRUE},
      {StoreSize, 32, 28, FALSE},
      {StoreSize, 1, 36, TRUE},
      {StoreLanguageOnly, 0, 28, TRUE},  // settings without IconSize: five buttons alike
      {PlayerGone, 0, 20, TRUE},
  };
  makeItem();
  UINT before = 0;
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const auto& r = rows[i];
    SCOPED_TRACE(testing::Message() << "row " << i);
    switch (r.step) {
      case Ask:
        break;
      case PlayerUp:
        startPlayer();
        break;
      case PlayerGone:
        stopPlayer();
        break;
      case StoreSize:
        storeDword(TEXT("IconSize"), r.iconSize);
        makeItem();
        break;
      case StoreLanguageOnly:
        deleteSettings();
        storeDword(TEXT("Language"), 0);
        makeItem();
        break;
    }
    LRESULT changed = refresh();
    EXPECT_EQ(r.height, record.cyp);
    if (r.step == StoreSize || r.step == StoreLanguageOnly)
      EXPECT_EQ(before != r.height, changed != FALSE) << "a new item reports a change of height only";
    else
      EXPECT_EQ(r.changed, changed);
    before = record.cyp;
  }
  EXPECT_TRUE(received().empty()) << "the player is sent nothing by refreshes";
}

// The buttons of both layouts: side by side from x 29, Play 32 and the
// others 24 when large (IconSize 1), all 24 when standard, centred down the
// item. A pen down and up at a point: what the player gets. A shared edge
// belongs to the left button.
TEST_F(Item, EachButtonSendsItsCommandOnRelease) {
  static const struct {
    DWORD iconSize;
    int downX, upX;
    Codes codes;
  } rows[] = {
      {1, 45, 45, {0x80C8}},  {1, 73, 73, {0x80C9}},   {1, 97, 97, {0x80CA}},   {1, 121, 121, {0x80CB}},
      {1, 145, 145, {0x80CC}}, {1, 61, 61, {0x80C8}},  {1, 85, 85, {0x80C9}},   {1, 157, 157, {0x80CC}},
      {1, 109, 109, {0x80CA}}, {1, 133, 133, {0x80CB}}, {1, 158, 158, {}},       {1, 45, 97, {}},        {1, 45, 200, {}},        {0, 41, 41, {0x80C8}},
      {0, 65, 65, {0x80C9}},   {0, 89, 89, {0x80CA}},  {0, 113, 113, {0x80CB}}, {0, 137, 137, {0x80CC}},
      {0, 53, 53, {0x80C8}},   {0, 77, 77, {0x80C9}},  {0, 101, 101, {0x80CA}}, {0, 125, 125, {0x80CB}},   {0, 149, 149, {0x80CC}}, {0, 150, 150, {}},
  };
  startPlayer();
  DWORD layout = 99;
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << "IconSize " << r.iconSize << ", down at " << r.downX << ", up at " << r.upX);
    if (r.iconSize != layout) {
      storeDword(TEXT("IconSize"), layout = r.iconSize);
      makeItem();
      refresh();
      paint();
    }
    int y = static_cast<int>(record.cyp) / 2;
    if (r.downX == r.upX && r.codes.empty()) hand.penComesUp(itemWindow, POINT{r.downX, y});  // empty space
    tap(r.downX, y, r.upX, y);
    EXPECT_EQ(r.codes, received());
    EXPECT_EQ(nullptr, GetCapture()) << "capture released at pen up";
  }
  EXPECT_EQ(0, hand.menus());
  EXPECT_TRUE(hand.boxes().empty());
}

TEST_F(Item, PaintingAsksTheTodayWindowForTheWatermark) {
  showButtons();
  watermarks = 0;
  paint();
  EXPECT_GT(watermarks, 0);
}

// A short tap on empty space: the recogniser sees the pen come up; the item
// has captured the pen, and the up it gets ends the capture.
TEST_F(Item, AShortTapOnEmptySpaceDoesNothing) {
  showButtons();
  hand.penComesUp(itemWindow, POINT{200, 18});
  SendMessageW(itemWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 18));
  EXPECT_EQ(itemWindow, GetCapture());
  pump();
  EXPECT_EQ(nullptr, GetCapture());
  EXPECT_TRUE(received().empty());
  EXPECT_EQ(0, hand.menus());
}

TEST_F(Item, AHoldOnAButtonPressesItAtOnce) {
  showButtons();
  hand.penStaysDown(itemWindow, POINT{73, 18});
  tap(73, 18);
  EXPECT_EQ(0, hand.menus());
  EXPECT_EQ(Codes{0x80C9}, received());
}

// The commands of the item's menu: what the player receives for each, sent
// as WM_COMMAND to the item window or chosen from the menu a hold on empty
// space opens. Ids that are no entry of the menu send nothing.
struct Command {
  const WCHAR* entry;  // null: no entry of the menu
  WPARAM id;
  Codes codes;
};
const Command kCommands[] = {
    {TEXT("Mute"), 338, {0x8037}},
    {TEXT("Volume Up"), 339, {0x8038}},
    {TEXT("Volume Down"), 340, {0x8039}},
    {TEXT("Repeat"), 342, {0x80CE}},
    {TEXT("Shuffle"), 343, {0x80CD}},
    {TEXT("Properties..."), 341, {0x80D1}},
    {TEXT("Playlist..."), 346, {WM_COMMAND}},
    {TEXT("Windows Media Player..."), 344, {}},
    {nullptr, 337, {}},
    {nullptr, 347, {}},
    {nullptr, MAKEWPARAM(338, 1), {}},
    {nullptr, 0x10152, {}},
    {nullptr, static_cast<WPARAM>(338) | static_cast<WPARAM>(1) << (8 * sizeof(WPARAM) - 1), {}},  // the whole wParam counts
    {nullptr, static_cast<WPARAM>(-1), {}},
    {TEXT("Close Windows Media Player"), 345, {0x80CA, WM_CLOSE}},
};

TEST_F(Item, EachCommandReachesThePlayer) {
  showButtons();
  for (const Command& c : kCommands) {
    SCOPED_TRACE(testing::Message() << "WM_COMMAND " << c.id);
    SendMessageW(itemWindow, WM_COMMAND, c.id, 0);
    pump();
    std::vector<Received> got = playerGot;
    EXPECT_EQ(c.codes, received());
    if (c.id == 346 && got.size() == 1) {
      EXPECT_EQ(0x9C4Bu, got[0].wParam) << "Playlist posts its fixed command";
      EXPECT_EQ(0x002D14C8, got[0].lParam);
    }
  }
  EXPECT_FALSE(IsWindow(player)) << "Close Windows Media Player closed the player";
  SendMessageW(itemWindow, WM_COMMAND, 338, 0);
  pump();
  EXPECT_TRUE(received().empty()) << "a command to the closed player goes nowhere";
  EXPECT_TRUE(hand.boxes().empty());
}

TEST_F(Item, EachMenuEntryReachesThePlayer) {
  showButtons();
  int menus = 0;
  for (const Command& c : kCommands) {
    if (!c.entry) continue;
    SCOPED_TRACE(narrow(c.entry));
    hand.chooseFromNextMenu(c.entry);
    holdBesideTheButtons();
    EXPECT_EQ(++menus, hand.menus());
    EXPECT_EQ(c.codes, received());
    EXPECT_EQ(nullptr, GetCapture()) << "no capture after the menu";
  }
  EXPECT_TRUE(hand.boxes().empty());
}

// With no player window a tap on the title starts the stored program; one
// that is not there is reported by its path, and a path of MAX_PATH units
// or more (which names no file) never reaches the shell, whose buffers it
// would overrun, but is reported the same way in a bounded box.
TEST_F(Item, AMissingPlayerProgramIsReportedByItsPath) {
  static const size_t lengths[] = {19, MAX_PATH - 1, MAX_PATH, 1023};
  for (size_t units : lengths) {
    SCOPED_TRACE(units);
    WString path = TEXT("\\nowhere\\player.exe");
    if (units > path.size()) path = TEXT("\\") + WString(units - 5, 'p') + TEXT(".exe");
    storeText(TEXT("WMPApplication"), path.c_str());
    makeItem();
    refresh();
    int launches = 0;
    std::vector<ShownBox> boxes = tapTheTitle(&launches);
    EXPECT_EQ(units < MAX_PATH ? 1 : 0, launches) << "the path reaches the shell only when it can name a file";
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(WString(TEXT("WMPCrestune")), boxes[0].caption);
    if (units == 19) {
      EXPECT_EQ(WString(TEXT("\"\\nowhere\\player.exe\" no found.")), boxes[0].text);
    }
    ASSERT_GT(boxes[0].text.size(), 16u);
    EXPECT_LT(boxes[0].text.size(), 200u);
    EXPECT_EQ(WString(TEXT(".exe\" no found.")), boxes[0].text.substr(boxes[0].text.size() - 15));
  }
}

TEST_F(Item, UnloadingUnregistersTheClassQuietly) {
  DestroyWindow(makeItem());
  HMODULE instance = item;
  item = nullptr;  // freed here rather than at the end
  EXPECT_TRUE(FreeLibrary(instance));
  platform.wait(200);
  EXPECT_FALSE(UnregisterClassW(TEXT("_WMPCrestuneClass"), instance)) << "nothing left to unregister";
  EXPECT_TRUE(hand.boxes().empty());
}

}  // namespace
}  // namespace product
