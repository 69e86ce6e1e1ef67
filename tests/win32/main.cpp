// The Win32 test host: loads crestitem.dll and aygshell.dll as the Today
// shell would and checks them against the real platform (Wine).
#include <stdio.h>

#include "harness.h"

int main() {
  StartWatchdog();
  AygshellTests();
  ItemTests();
  printf("%d passed, %d failed\n", PassedChecks(), FailedChecks());
  return FailedChecks() ? 1 : 0;
}
