// A library of the conformance tests' own: resources of every kind the
// tests ask for, and two exports, one by name and one by ordinal alone.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

extern "C" int Answer(void) { return 42; }
extern "C" int Twice(int x) { return 2 * x; }
