// The two text inputs of the image tool: the platform's import table (which
// library exports each function, by ordinal or by name) and a library's
// module-definition (.def) file (its exports).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace peimage {

struct ImportEntry {
  std::string symbol;   // the name the product calls
  std::string library;  // "COREDLL.dll"; empty for a runtime function
  uint16_t ordinal = 0; // 0: imported by name
  bool runtime = false; // supplied by the device build's own runtime
  std::string exportName;  // the library's name for it (defaults to symbol)
};

struct ImportTable {
  std::vector<ImportEntry> entries;
  const ImportEntry* Find(const std::string& symbol) const;
  // Libraries in the order the table first names them.
  std::vector<std::string> Libraries() const;
};

ImportTable ParseImportTable(const std::string& text, const std::string& path);

struct DefExport {
  std::string name;     // exported name; also the symbol that implements it
  uint16_t ordinal = 0; // 0: none given in the file
  bool noname = false;
};

struct DefFile {
  std::string library;
  std::vector<DefExport> exports;
};

// Reads LIBRARY and EXPORTS as the product's .def files use them:
// "Name", "Name @N", "Name @N NONAME"; ';' starts a comment.
DefFile ParseDef(const std::string& text, const std::string& path);

// Ordinals for exports the file gives none: the lowest unused ones, from 1,
// in the file's order.
void AssignOrdinals(DefFile* def);

}  // namespace peimage
