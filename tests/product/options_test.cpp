// The item's options page as the Today settings run it: template 500 with
// the procedure of ordinal 241, modal, driven from inside its loop. What it
// shows in each language, where its credit lines go, its fonts, which
// commands end it, and what OK and Cancel leave in the registry.
#include "product.h"

namespace product {
namespace {

constexpr int kLarge = 1009, kStandard = 1006, kDisplayLabel = 1010, kPlayerLabel = 1015, kPath = 1017,
              kBrowse = 1018, kCancel = 1019, kLink = 1014, kCreditTitle = 1011, kCreditVersion = 1012,
              kCopyright = 1013;

bool checked(HWND dialog, int id) { return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

class Options : public ProductTest {
 protected:
  void storeSettings(DWORD language, DWORD iconSize, LPCWSTR path) {
    storeDword(TEXT("Language"), language);
    storeDword(TEXT("IconSize"), iconSize);
    storeText(TEXT("WMPApplication"), path);
  }
  // WMPApplication as the page stores it: the path, then zeros to exactly
  // 2048 bytes.
  void expectStoredPath(const WString& path) {
    Stored v = setting(TEXT("WMPApplication"));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), v.type);
    ASSERT_EQ(2048u, v.bytes.size());
    EXPECT_EQ(path, v.text());
    for (size_t i = (path.size() + 1) * sizeof(WCHAR); i < v.bytes.size(); ++i)
      if (v.bytes[i]) {
        ADD_FAILURE() << "byte " << i << " after the path is not zero";
        break;
      }
  }
};

// The page's words, in the language stored when no item window exists, or
// the one the item window was made with while one does; and the stored
// size (Large Buttons for IconSize 1 alone) and path.
TEST_F(Options, ThePageSpeaksTheItemsLanguageAndShowsTheStoredSizeAndPath) {
  static const struct {
    int itemLanguage;  // -1: no item window
    DWORD storedLanguage, iconSize;
    const WCHAR* texts[7];  // caption, display label, large, standard, player label, browse, cancel
  } rows[] = {
      {-1, 0, 1, {TEXT("Settings"), TEXT("Display:"), TEXT("Large Buttons"), TEXT("Standard Buttons"),
                  TEXT("Windows Media Player Application:"), TEXT("Browse..."), TEXT("Cancel")}},
      {-1, 1, 0, {TEXT("Configuración"), TEXT("Mostrar:"), TEXT("Iconos Grandes"), TEXT("Iconos Clásicos"),
                  TEXT("Ejecutable de Windows Media Player:"), TEXT("Examinar..."), TEXT("Cancelar")}},
      {-1, 2, 32, {TEXT("Configuración"), TEXT("Mostrar:"), TEXT("Iconos Grandes")}},
      {0, 1, 1, {TEXT("Settings"), TEXT("Display:"), TEXT("Large Buttons")}},
      {1, 0, 32, {TEXT("Configuración"), TEXT("Mostrar:"), TEXT("Iconos Grandes")}},
  };
  static const int ids[] = {0, kDisplayLabel, kLarge, kStandard, kPlayerLabel, kBrowse, kCancel};
  const WCHAR* path = TEXT("\\Storage Card\\Media\\player.exe");
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << "item language " << r.itemLanguage << ", stored " << r.storedLanguage
                                    << ", IconSize " << r.iconSize);
    storeSettings(r.itemLanguage < 0 ? r.storedLanguage : static_cast<DWORD>(r.itemLanguage), r.iconSize, path);
    if (r.itemLanguage >= 0) makeItem();
    storeDword(TEXT("Language"), r.storedLanguage);
    INT_PTR result = runPage([&](HWND page) {
      for (int i = 0; i < 7 && r.texts[i]; ++i)
        EXPECT_EQ(WString(r.texts[i]), textOf(page, ids[i])) << "control " << ids[i];
      // The credit lines keep their own words in both languages.
      EXPECT_EQ(WString(TEXT("Windows Media Player Crestune")), textOf(page, kCreditTitle));
      EXPECT_EQ(WString(TEXT("Version 1.0 Build 0604")), textOf(page, kCreditVersion));
      EXPECT_EQ(WString(TEXT("(c) 2026 the Crestune team")), textOf(page, kCopyright));
      EXPECT_EQ(WString(TEXT("team@crestune.org")), textOf(page, kLink));
      EXPECT_EQ(r.iconSize == 1, checked(page, kLarge));
      EXPECT_EQ(r.iconSize != 1, checked(page, kStandard));
      EXPECT_EQ(WString(path), textOf(page, kPath));
      SendDlgItemMessageW(page, kCancel, BM_CLICK, 0, 0);
    });
    EXPECT_EQ(kCancel, result);
  }
}

// Both labels share the bold heading font and the contact link has the
// underlined one, Tahoma at 8.5 points; both go with the page.
TEST_F(Options, HeadingsAreBoldAndTheLinkUnderlinedAtEightAndAHalfPoints) {
  HDC screen = GetDC(nullptr);
  const LONG height = -17 * GetDeviceCaps(screen, LOGPIXELSY) / 144;
  ReleaseDC(nullptr, screen);
  HGDIOBJ fonts[3] = {};
  runPage([&](HWND page) {
    const int ids[] = {kDisplayLabel, kPlayerLabel, kLink};
    for (int i = 0; i < 3; ++i) {
      SCOPED_TRACE(ids[i]);
      fonts[i] = reinterpret_cast<HGDIOBJ>(SendDlgItemMessageW(page, ids[i], WM_GETFONT, 0, 0));
      LOGFONTW lf{};
      ASSERT_EQ(static_cast<int>(sizeof lf), GetObjectW(fonts[i], sizeof lf, &lf));
      EXPECT_EQ(height, lf.lfHeight);
      EXPECT_EQ(WString(TEXT("Tahoma")), WString(lf.lfFaceName));
      EXPECT_EQ(ids[i] == kLink ? 1 : 0, lf.lfUnderline);
      if (ids[i] == kLink)
        EXPECT_LT(lf.lfWeight, 600);
      else
        EXPECT_EQ(600, lf.lfWeight);
    }
    EXPECT_EQ(fonts[0], fonts[1]) << "the labels share one font";
    SendDlgItemMessageW(page, kCancel, BM_CLICK, 0, 0);
  });
  LOGFONTW lf;
  for (HGDIOBJ f : fonts) EXPECT_EQ(0, GetObjectW(f, sizeof lf, &lf)) << "a font outlived the page";
}

TEST_F(Options, TheCreditLinesSitFifteenPixelsApartAboveTheBottom) {
  static const struct {
    int id, cx, cy;  // size in the template, dialog units
    int above;       // pixels above the dialog's bottom edge
  } lines[] = {{kLink, 70, 8, 45}, {kCopyright, 112, 8, 60}, {kCreditVersion, 72, 8, 75}, {kCreditTitle, 118, 8, 90}};
  runPage([&](HWND page) {
    RECT w;
    GetWindowRect(page, &w);
    for (const auto& l : lines) {
      SCOPED_TRACE(l.id);
      RECT r, size = {0, 0, l.cx, l.cy};
      GetWindowRect(GetDlgItem(page, l.id), &r);
      MapDialogRect(page, &size);
      POINT p{r.left, r.top};
      ScreenToClient(page, &p);
      EXPECT_EQ(7, p.x);
      EXPECT_EQ(w.bottom - l.above, p.y);
      EXPECT_EQ(size.right, r.right - r.left) << "the size in the template is kept";
      EXPECT_EQ(size.bottom, r.bottom - r.top);
    }
    SendDlgItemMessageW(page, kCancel, BM_CLICK, 0, 0);
  });
}

// IDCANCEL is no way out, and the link, Browse and Cancel answer plain
// clicks only. The Cancel button, or WM_CLOSE from outside (as a shell or a
// task manager closes a window), ends the page as Cancel: what was changed
// is forgotten, its fonts released and its owner enabled again.
TEST_F(Options, OnlyOkTheCancelButtonAndACloseFromOutsideEndThePage) {
  storeSettings(0, 1, TEXT("\\Windows\\wmplayer.exe"));
  hand.standInForMail();
  const LPCWSTR names[] = {TEXT("IconSize"), TEXT("Language"), TEXT("WMPApplication")};
  std::vector<Stored> before;
  for (LPCWSTR n : names) before.push_back(setting(n));
  for (bool closed : {false, true}) {
    SCOPED_TRACE(closed ? "WM_CLOSE" : "Cancel");
    const std::string held = hand.objectsHeld();
    HWND shown = nullptr;
    INT_PTR result = runPage([&](HWND page) {
      shown = page;
      for (WPARAM w : {WPARAM{IDCANCEL}, MAKEWPARAM(kLink, 1 /* STN_DBLCLK */), MAKEWPARAM(kBrowse, 1),
                       MAKEWPARAM(kCancel, 1)}) {
        SendMessageW(page, WM_COMMAND, w, 0);
        EXPECT_TRUE(IsWindowVisible(page)) << "WM_COMMAND " << w << " closed the page";
      }
      EXPECT_TRUE(hand.mailOpened(1000).empty()) << "a notification other than a click opened the link";
      SendDlgItemMessageW(page, kStandard, BM_CLICK, 0, 0);
      SetDlgItemTextW(page, kPath, TEXT("\\Somewhere\\else.exe"));
      if (closed)
        SendMessageW(page, WM_CLOSE, 0, 0);
      else
        SendDlgItemMessageW(page, kCancel, BM_CLICK, 0, 0);
    });
    EXPECT_EQ(kCancel, result);
    EXPECT_FALSE(IsWindow(shown));
    EXPECT_TRUE(IsWindowEnabled(today)) << "the owner stays disabled";
    // The library keeps the player's path from its first page on; after
    // that a page leaves nothing behind.
    if (closed) {
      EXPECT_EQ(held, hand.objectsHeld());
    }
    for (size_t i = 0; i < before.size(); ++i) {
      Stored after = setting(names[i]);
      EXPECT_TRUE(before[i].type == after.type && before[i].bytes == after.bytes) << narrow(names[i]);
    }
  }
}

// OK, as the navigation bar's button or as WM_COMMAND with a notification
// code, stores what the page shows: the size, and the path as typed (its
// first 1023 characters), the language left alone.
TEST_F(Options, OkStoresTheSizeAndThePath) {
  WString longPath = TEXT("\\");
  while (longPath.size() < 1500) longPath += static_cast<WCHAR>('a' + longPath.size() % 26);
  const struct {
    DWORD stored;
    int tapped;  // radio button clicked, or 0
    WString typed;
    WPARAM ok;
    DWORD iconSize;
    WString path;
  } rows[] = {
      {1, kStandard, TEXT("D:\\Media\\Player\\wmplayer.exe"), MAKEWPARAM(IDOK, 5), 0,
       TEXT("D:\\Media\\Player\\wmplayer.exe")},
      {0, kLarge, {}, IDOK, 1, TEXT("\\Windows\\wmplayer.exe")},
      {1, 0, longPath, IDOK, 1, longPath.substr(0, 1023)},
      {0, kStandard, {}, MAKEWPARAM(IDOK, 0x1234), 0, TEXT("\\Windows\\wmplayer.exe")},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << "IconSize " << r.stored << " then control " << r.tapped);
    storeSettings(2, r.stored, TEXT("\\Windows\\wmplayer.exe"));
    INT_PTR result = runPage([&](HWND page) {
      if (r.tapped) SendDlgItemMessageW(page, r.tapped, BM_CLICK, 0, 0);
      if (!r.typed.empty()) SetDlgItemTextW(page, kPath, r.typed.c_str());
      SendMessageW(page, WM_COMMAND, r.ok, 0);
    });
    EXPECT_EQ(IDOK, result);
    Stored size = setting(TEXT("IconSize"));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), size.type);
    EXPECT_EQ(r.iconSize, size.dword());
    expectStoredPath(r.path);
    EXPECT_EQ(2u, setting(TEXT("Language")).dword()) << "the page leaves the language alone";
  }
}

// Confirmed, the page stores the size, and the item window answers the new
// height at the shell's next refresh query, not before; painted then, Play
// (right of the logo at x 29) has its face at the new size.
TEST_F(Options, TheItemFollowsTheNewSizeAtTheNextRefresh) {
  static const struct {
    DWORD stored;
    int tapped;
    UINT before, after;
    long long playSize;
  } rows[] = {{1, kStandard, 36, 28, 24}, {0, kLarge, 28, 36, 32}};
  startPlayer();
  for (const auto& r : rows) {
    SCOPED_TRACE(r.stored);
    storeSettings(1, r.stored, TEXT("\\Windows\\wmplayer.exe"));
    makeItem();
    refresh();
    ASSERT_EQ(r.before, record.cyp);
    EXPECT_EQ(IDOK, runPage([&](HWND page) {
      SendDlgItemMessageW(page, r.tapped, BM_CLICK, 0, 0);
      SendMessageW(page, WM_COMMAND, IDOK, 0);
    }));
    pump();
    EXPECT_EQ(r.before, record.cyp);
    refresh();
    EXPECT_EQ(r.after, record.cyp);
    hand.startRecording();
    paint();
    long long play = 0;
    for (const orders::Call& c : hand.stopRecording())
      if (c.name == "DrawIconEx" && c.a == 29 && !play) play = c.c;
    EXPECT_EQ(r.playSize, play);
  }
}

TEST_F(Options, TheContactLinkOpensAMailToTheTeam) {
  hand.standInForMail();
  INT_PTR result = runPage([&](HWND page) {
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(kLink, 0 /* STN_CLICKED */), reinterpret_cast<LPARAM>(GetDlgItem(page, kLink)));
    EXPECT_EQ(std::vector<WString>{TEXT("mailto:team@crestune.org")}, hand.mailOpened(10000));
    SendDlgItemMessageW(page, kCancel, BM_CLICK, 0, 0);
  });
  EXPECT_EQ(kCancel, result);
  platform.wait(500);
  EXPECT_EQ(1u, hand.mailOpened().size()) << "no late start";
}

}  // namespace
}  // namespace product
