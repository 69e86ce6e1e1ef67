// The options page opened from the Today settings.
#include "crestitem.h"

CRESTUNE_EXPORT INT_PTR CALLBACK OptionsDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)hDlg, (void)message, (void)wParam, (void)lParam;
  return FALSE;
}
