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

}  // namespace
}  // namespace crestune::testing
