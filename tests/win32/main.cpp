// The Win32 test host: loads crestitem.dll as the Today shell would, and
// setup.dll as the CAB installer would, checks them against the real
// platform (Wine), and leaves what the item paints in pixels\ for the host
// to compare with the stand-in. With --bench (or --bench-quick) it times the
// item's operations instead of testing them.
#include <stdio.h>
#include <string.h>

#include "harness.h"

int main(int argc, char** argv) {
  if (argc == 2 && strcmp(argv[1], "--bench") == 0) return RunBench(false);
  if (argc == 2 && strcmp(argv[1], "--bench-quick") == 0) return RunBench(true);
  StartWatchdog();
  PixelCaptures();
  printf("%d passed, %d failed\n", PassedChecks(), FailedChecks());
  return FailedChecks() ? 1 : 0;
}
