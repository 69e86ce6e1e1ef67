// A small conformance harness in the style of Wine's: one printed line per
// check, a final tally, and helpers that watch what the user would be shown.
#pragma once
#include <windows.h>

#define ok(cond, ...) CheckAt(__FILE__, __LINE__, (cond) != 0, __VA_ARGS__)
bool CheckAt(const char* file, int line, bool passed, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
int FailedChecks();
int PassedChecks();

// Runs every queued message of this thread.
void Pump();
// Moves the cursor onto a client point, so that the mouse moves the window
// manager makes up on its own fall where the pen is held.
void PutCursorOn(HWND hwnd, int x, int y);
// Pumps for the given time, so that timers fire.
void PumpFor(DWORD ms);

// A thread timer that, while a modal loop of this thread runs, closes any
// message box of this process (remembering its caption and text) and closes
// any popup menu, or first picks an entry in it with the keyboard.
struct ShownBox {
  WCHAR caption[128];
  WCHAR text[256];
};
void StartWatchdog();
int BoxesShown();                // since the last ForgetShown()
const ShownBox* Box(int index);  // NULL when out of range
int MenusShown();
void ForgetShown();
// The next popup menu gets the keys Down x downPresses and Return; 0 just
// dismisses it.
void ChooseFromNextMenu(int downPresses);
// The next dialog of this process that is not a message box is handed to the
// driver, once, from the watchdog: the driver runs inside the dialog's modal
// loop and is expected to end the dialog.
typedef void (*DialogDriver)(HWND dialog);
void DriveNextDialog(DialogDriver driver);

// A top-level window of a class this program registers (on first use) with
// the given procedure and a white background.
HWND MakeTestWindow(LPCWSTR className, WNDPROC proc, LPCWSTR title, DWORD style, int x, int y, int width,
                    int height);

// The Today screen's stand-in, the parent of an item window: 240x320, black
// text, a white watermark whose requests it counts.
HWND MakeTodayWindow();
int WatermarkRequests();
void ForgetWatermarkRequests();

// Loads a DLL from the folder of this program, not from the search path.
HMODULE LoadBesideProgram(LPCWSTR name);

// Registry values as stored: their type and their data size in bytes.
struct StoredValue {
  bool found;
  DWORD type;
  DWORD size;
  BYTE data[4096];
};
StoredValue ReadValue(HKEY root, LPCWSTR key, LPCWSTR name);
bool KeyExists(HKEY root, LPCWSTR key);
// The value's text, compared only as far as its first NUL.
bool TextValueIs(const StoredValue& value, LPCWSTR text);
bool DwordValueIs(const StoredValue& value, DWORD number);
bool WriteValue(HKEY root, LPCWSTR key, LPCWSTR name, DWORD type, const void* data, DWORD size);
bool WriteText(HKEY root, LPCWSTR key, LPCWSTR name, LPCWSTR text);
bool WriteDword(HKEY root, LPCWSTR key, LPCWSTR name, DWORD number);

// The item's settings, under HKEY_LOCAL_MACHINE.
#define SETTINGS_KEY L"SOFTWARE\\Halvorn\\WMP Crestune"
// Deletes the settings key, and the company key above it when nothing else
// lives there.
void DeleteSettings();
StoredValue Setting(LPCWSTR name);
// WMPApplication as the item and the installer store it: the path, then
// zeros up to exactly 2048 bytes.
bool StoredPathIs(LPCWSTR path);

// Stack pointer drift of a call, in bytes, for catching calling-convention
// mismatches: 0 when the callee honours the convention the caller assumed.
DWORD_PTR CallCdecl2(void* function, DWORD_PTR a, DWORD_PTR b, int* drift);

// Points a module's import of dll!name at `replacement`; false when the
// module imports no such function.
bool PatchImport(HMODULE module, const char* dll, const char* name, void* replacement);

void AygshellTests();
void OrderTests();
void SetupTests();
// Writes the item's views and the options page's heading, rule and link as
// PPM pictures into pixels\ (pixel_capture.cpp).
void PixelCaptures();
// --bench: times the operations `crestune bench` times, on the real DLLs
// (bench.cpp); answers the exit status.
int RunBench(bool quick);
