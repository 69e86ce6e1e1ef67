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

// A thread timer that, while a modal loop of this thread runs, closes any
// message box and any popup menu of this process.
void StartWatchdog();
// The next dialog of this process that is not a message box is handed to the
// driver, once, from the watchdog: the driver runs inside the dialog's modal
// loop and is expected to end the dialog.
typedef void (*DialogDriver)(HWND dialog);
void DriveNextDialog(DialogDriver driver);

// A top-level window of a class this program registers (on first use) with
// the given procedure and a white background.
HWND MakeTestWindow(LPCWSTR className, WNDPROC proc, LPCWSTR title, DWORD style, int x, int y, int width,
                    int height);

// Loads a DLL from the folder of this program, not from the search path.
HMODULE LoadBesideProgram(LPCWSTR name);

bool WriteValue(HKEY root, LPCWSTR key, LPCWSTR name, DWORD type, const void* data, DWORD size);
bool WriteDword(HKEY root, LPCWSTR key, LPCWSTR name, DWORD number);

// The item's settings, under HKEY_LOCAL_MACHINE.
#define SETTINGS_KEY L"SOFTWARE\\Halvorn\\WMP Crestune"
// Deletes the settings key, and the company key above it when nothing else
// lives there.
void DeleteSettings();

// Writes the item's views and the options page's heading, rule and link as
// PPM pictures into pixels\ (pixel_capture.cpp).
void PixelCaptures();
