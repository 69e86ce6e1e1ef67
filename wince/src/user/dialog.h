// Inside of the dialog manager, shared by the dialog and control files.
#pragma once
#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace wince {

// A dialog template read into plain fields. Names that are ordinals keep
// the ordinal and an empty string.
struct DialogItem {
  DWORD style = 0;
  DWORD exStyle = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  DWORD id = 0;
  WORD classOrdinal = 0;  // 0x0080 BUTTON ... 0x0085 COMBOBOX; 0 when named
  std::u16string className;
  WORD titleOrdinal = 0;  // a resource id given as the title (SS_ICON)
  bool titleIsOrdinal = false;
  std::u16string title;
  const void* creationData = nullptr;  // points at the size word, or null
};

struct DialogTemplate {
  bool extended = false;
  DWORD style = 0;
  DWORD exStyle = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  bool hasMenu = false;
  std::u16string className;  // empty: the standard dialog class
  WORD classOrdinal = 0;
  std::u16string title;
  WORD pointSize = 0;  // with DS_SETFONT
  WORD weight = 0;     // extended templates only
  BYTE italic = 0;
  std::u16string face;
  std::vector<DialogItem> items;
};

// Reads a DLGTEMPLATE or DLGTEMPLATEEX. `size` bounds the read (the
// resource's size; SIZE_MAX for a template in memory). False when the bytes
// end inside the template.
bool parseDialogTemplate(const void* data, size_t size, DialogTemplate& out);

// Average character width and height of a font, the way the dialog manager
// measures its base units.
SIZE fontBaseUnits(HFONT font);

// Rounded a * b / c, as MulDiv computes it; -1 when c is 0.
int mulDiv(int a, int b, int c);
// Dialog units to pixels for the base units `base`: a horizontal unit is a
// quarter of the average character width, a vertical one an eighth of the
// character height.
int dialogUnitsX(int v, const SIZE& base);
int dialogUnitsY(int v, const SIZE& base);

// What the dialog manager keeps for a dialog it runs.
struct DialogState {
  HWND hwnd = nullptr;
  DLGPROC proc = nullptr;
  HFONT font = nullptr;  // the template's font; null: the system font
  SIZE base{};           // dialog base units of that font
  HWND owner = nullptr;
  bool ownerDisabled = false;  // the dialog disabled its owner and gives it back
  bool ended = false;
  INT_PTR result = 0;
  LRESULT msgResult = 0;  // DWL_MSGRESULT
};

// The dialog a window belongs to: the window itself when it is a dialog,
// else null.
DialogState* dialogState(HWND hwnd);

// Registers the predefined control classes (BUTTON, EDIT, STATIC, COMBOBOX)
// the first time any of them is needed.
void registerControlClasses();

// Colours of a control: the DC gets the default text and background colours,
// then the parent is asked with `message` (WM_CTLCOLORSTATIC...). Returns the
// brush for the background: the parent's, or the white stock brush.
HBRUSH controlColors(HWND control, HDC dc, UINT message);

// Begins a control's paint: `client` gets its client rectangle, filled with
// the brush its parent chooses through `message` (see controlColors).
HDC beginControlPaint(HWND control, PAINTSTRUCT& ps, RECT& client, UINT message);

// The font a control draws with: its WM_SETFONT font, else the system font.
HFONT controlFont(HWND control);

// Focus moves inside a dialog: the next (or previous) visible, enabled
// WS_TABSTOP control after `from`, wrapping around; null when none.
HWND nextTabStop(HWND dialog, HWND from, bool previous);
// Gives a control of a dialog the focus as the dialog manager does: an edit
// control gets all of its text selected.
void dialogSetFocus(HWND control);
// The keys a dialog keeps for itself, as IsDialogMessage has them: true when
// the dialog took `key` (Tab, Enter or Escape while the focus is in the
// dialog or nowhere).
bool dialogKey(HWND dialog, int key);

}  // namespace wince
