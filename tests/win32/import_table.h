// The slots of a loaded module's import table, through which it calls the
// functions it imports: the Win32 hosts point a slot at a function of their
// own to watch a call, to make it fail or to give it another clock.
#pragma once
#include <windows.h>

// Calls `visit(slot)` for each slot through which `module` calls `name`,
// imported by name from `dll` (from any DLL when `dll` is NULL); answers how
// many there were.
template <class Visit>
int ForEachImportSlot(HMODULE module, const char* dll, const char* name, Visit visit) {
  BYTE* base = (BYTE*)module;
  IMAGE_NT_HEADERS* nt = (IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
  IMAGE_DATA_DIRECTORY imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  int found = 0;
  for (IMAGE_IMPORT_DESCRIPTOR* d = (IMAGE_IMPORT_DESCRIPTOR*)(base + imports.VirtualAddress);
       imports.VirtualAddress && d->Name; d++) {
    if (dll && lstrcmpiA((const char*)(base + d->Name), dll) != 0) continue;
    IMAGE_THUNK_DATA* names = (IMAGE_THUNK_DATA*)(base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
    IMAGE_THUNK_DATA* slots = (IMAGE_THUNK_DATA*)(base + d->FirstThunk);
    for (; names->u1.AddressOfData; names++, slots++) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      if (lstrcmpA((const char*)((IMAGE_IMPORT_BY_NAME*)(base + names->u1.AddressOfData))->Name, name) != 0) continue;
      found++;
      visit(slots);
    }
  }
  return found;
}

// Points one slot at `replacement` (the table is read-only once bound).
inline bool ReplaceImportSlot(IMAGE_THUNK_DATA* slot, void* replacement) {
  DWORD old;
  if (!VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), PAGE_READWRITE, &old)) return false;
  slot->u1.Function = (DWORD_PTR)replacement;
  VirtualProtect(&slot->u1.Function, sizeof(slot->u1.Function), old, &old);
  return true;
}
