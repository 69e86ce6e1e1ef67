// What a product library built for the stand-in carries besides its code:
// the export table derived from its .def file (WinceExportTable, ended by a
// row whose symbol is null) and its compiled resources (WinceResourceData,
// WinceResourceSize: the bytes of the .res file).
#pragma once

struct WinceExport {
  unsigned ordinal;    // 0: exported by name only
  const char* name;    // null: exported by ordinal only (NONAME)
  const char* symbol;  // the C symbol that implements it
};
