// The person's hand in the modal loops the product opens (a message box, a
// popup menu, a dialog, the tap-and-hold recogniser): the one part of the
// product suite that differs per platform. The stand-in's hand answers from
// its input queue (hand_standin.cpp), the Win32 one from a watchdog timer
// that finds the modal window on the screen (hand_win32.cpp); the build
// picks one.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../conformance/fixture.h"
#include "../orders/product_orders.h"

namespace product {

struct ShownBox {
  WString caption, text;
};

class Hand {
 public:
  explicit Hand(ApiPlatform& platform);
  ~Hand();
  Hand(const Hand&) = delete;
  Hand& operator=(const Hand&) = delete;

  // Every message box is answered with OK; these are the ones shown since
  // the hand was made or last told to forget.
  std::vector<ShownBox> boxes();
  // Popup menus shown since then.
  int menus();
  void forget();
  // The next popup menu gets the entry with this text chosen; null just
  // dismisses it (as every menu is when nothing was asked).
  void chooseFromNextMenu(LPCWSTR entry);
  // The pen the test is about to put down on client point `p` of `w` (with
  // a WM_LBUTTONDOWN it sends): lifted at once, or held down past the time
  // of a tap-and-hold.
  void penComesUp(HWND w, POINT p);
  void penStaysDown(HWND w, POINT p);
  // The next dialog that is not a message box is handed to `driver`, once,
  // from inside its modal loop; the driver is expected to end it.
  void driveNextDialog(std::function<void(HWND)> driver);

  // The mail program the shell starts for a mailto: link, stood in for
  // from here on: the addresses it has been started with, waiting up to
  // `ms` for a first (on Win32 a program starts in its own time).
  void standInForMail();
  std::vector<WString> mailOpened(DWORD ms = 0);

  // The product libraries' calls of `call` (its Win32 name) fail as the
  // platform documents: after `after` that run as usual, the next `times`.
  // On the stand-in the device's fault plan; on Win32 a stand-in for the
  // call put in the libraries' import tables.
  void failNext(const char* call, int times = 1, int after = 0);
  // Planned failures not yet taken.
  int failuresPending();

  // The objects the process holds (windows, classes, GDI objects, icons,
  // keys, modules...), as one line to compare before and after; empty where
  // the platform does not count them (Win32).
  std::string objectsHeld();

  // The watched calls (tests/orders) the libraries make from
  // startRecording() to stopRecording(): on the stand-in read from the
  // device's trace, on Win32 recorded through their import tables.
  void startRecording();
  std::vector<orders::Call> stopRecording();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// The bytes a call left on the stack for its caller to pop, beyond what
// the convention the caller assumed leaves: 0 when callee and caller agree.
// Only where calling conventions are a matter of the machine (x86 Win32);
// false elsewhere, and the test skips.
bool stackDriftOf(void* function, const DWORD_PTR* args, int count, bool callerPops, DWORD_PTR* result,
                  int* drift);

}  // namespace product
