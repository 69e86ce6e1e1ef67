// Stand-in only (the device's loader and object accounting).
// The item library's lifetime across its users: the options page run
// before any item window exists, the item created and destroyed by the
// shell, the library freed last. Whatever one of them loaded, another
// releases; nothing is lost between them.
#include "fixture.h"

namespace crestune::testing {
namespace {

class LibraryLifetime : public StrictDeviceTest {};

TEST_F(LibraryLifetime, FacesLoadedByTheOptionsPageBeforeTheItemAreNotLost) {
  auto& a = device().accounting();
  const int icons = a.live(wince::ObjectKind::Icon), heap = a.live(wince::ObjectKind::Heap);
  HMODULE library = LoadLibraryW(u"crestitem.dll");
  ASSERT_TRUE(library);
  auto proc = reinterpret_cast<DLGPROC>(
      reinterpret_cast<void (*)()>(GetProcAddress(library, reinterpret_cast<LPCSTR>(MAKEINTRESOURCE(241)))));
  ASSERT_TRUE(proc);
  // Confirmed with no item window: OK rebuilds the faces at the size chosen.
  INT_PTR result = whileOpen(
      [&] { return DialogBoxParamW(reinterpret_cast<HINSTANCE>(library), MAKEINTRESOURCE(500), nullptr, proc, 0); },
      {[&] { queueTapOnDone(); }});
  ASSERT_EQ(IDOK, result);
  const int facesHeld = a.live(wince::ObjectKind::Icon) - icons;
  EXPECT_EQ(10, facesHeld) << "five buttons, a normal and a pressed face each";

  // The shell loads the same library and creates the item, which loads the
  // faces for itself; destroying it releases them.
  registerItem();
  session.startToday();
  ASSERT_TRUE(item());
  EXPECT_EQ(facesHeld, a.live(wince::ObjectKind::Icon) - icons) << "the item replaced the faces, not added to them";
  session.stopToday();
  FreeLibrary(library);
  EXPECT_EQ(icons, a.live(wince::ObjectKind::Icon));
  EXPECT_EQ(heap, a.live(wince::ObjectKind::Heap));
}

// Freed behind the shell's back while its item window lives, the library is
// gone as a module (its handle answers nothing) but stays mapped: the window
// manager still calls the window's procedure, which must not lead into
// unmapped code.
TEST_F(LibraryLifetime, ALibraryFreedWhileAWindowOfItsClassLivesStaysMappedUntilNothingCallsIt) {
  registerItem();
  session.startToday();
  ASSERT_TRUE(item());
  const HMODULE library = item()->library;
  const HWND window = item()->record.hwndCustom;
  // The library's detach cannot unregister the class of a live window, and
  // says so in a box.
  device().input().push(wince::InputEvent{wince::InputEvent::Kind::AnswerBox, {}, 0, IDOK, {}});
  ASSERT_TRUE(FreeLibrary(library));
  EXPECT_EQ(0, device().accounting().live(wince::ObjectKind::Module));
  EXPECT_EQ(nullptr, GetProcAddress(library, reinterpret_cast<LPCSTR>(MAKEINTRESOURCE(240))));
  ASSERT_FALSE(windows().messageBoxes().empty());
  EXPECT_EQ(u"UnregisterClass()", windows().messageBoxes().back().text);
  // The shell goes on asking the item and painting it.
  nextRefresh();
  InvalidateRect(window, nullptr, TRUE);
  UpdateWindow(window);
  EXPECT_TRUE(IsWindow(window));
  session.stopToday();
  EXPECT_FALSE(IsWindow(window));
}

}  // namespace
}  // namespace crestune::testing
