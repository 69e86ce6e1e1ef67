// The Win32 test host: loads crestitem.dll and aygshell.dll as the Today
// shell would, and setup.dll as the CAB installer would, and checks them
// against the real platform (Wine). Started with --mailto it is the mail
// program of the options page's contact link instead.
#include <stdio.h>

#include "harness.h"

int main() {
  if (RunAsMailProgram()) return 0;
  StartWatchdog();
  AygshellTests();
  ItemTests();
  OptionsTests();
  SetupTests();
  printf("%d passed, %d failed\n", PassedChecks(), FailedChecks());
  return FailedChecks() ? 1 : 0;
}
