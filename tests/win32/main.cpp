// The Win32 test host: loads crestitem.dll as the Today shell would, and
// setup.dll as the CAB installer would, checks them against the real
// platform (Wine), and leaves what the item paints in pixels\ for the host
// to compare with the stand-in. The item's operations are timed by a program
// of their own, win32/bench (crestune_wine_bench.exe).
#include <stdio.h>

#include "harness.h"

int main() {
  StartWatchdog();
  PixelCaptures();
  printf("%d passed, %d failed\n", PassedChecks(), FailedChecks());
  return FailedChecks() ? 1 : 0;
}
