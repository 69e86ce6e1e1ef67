// Parsing of the import table and of module-definition files.
#include "tables.h"

#include <set>
#include <sstream>
#include <stdexcept>

namespace peimage {
namespace {

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

uint16_t ParseOrdinal(const std::string& text, const std::string& where) {
  size_t used = 0;
  unsigned long value = 0;
  try {
    value = std::stoul(text, &used, 10);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || value == 0 || value > 65535)
    throw std::runtime_error(where + ": not an ordinal: " + text);
  return uint16_t(value);
}

}  // namespace

const ImportEntry* ImportTable::Find(const std::string& symbol) const {
  for (const ImportEntry& e : entries)
    if (e.symbol == symbol) return &e;
  return nullptr;
}

std::vector<std::string> ImportTable::Libraries() const {
  std::vector<std::string> libs;
  for (const ImportEntry& e : entries) {
    if (e.runtime) continue;
    bool seen = false;
    for (const std::string& l : libs) seen = seen || l == e.library;
    if (!seen) libs.push_back(e.library);
  }
  return libs;
}

ImportTable ParseImportTable(const std::string& text, const std::string& path) {
  ImportTable table;
  std::istringstream in(text);
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    std::string where = path + ":" + std::to_string(number);
    line = line.substr(0, line.find('#'));
    std::vector<std::string> w = Words(line);
    if (w.empty()) continue;
    if (w.size() < 3 || w.size() > 4) throw std::runtime_error(where + ": expected FUNCTION LIBRARY ORDINAL [EXPORT]");
    ImportEntry e;
    e.symbol = w[0];
    if (w[2] == "runtime") {
      e.runtime = true;
    } else {
      e.library = w[1];
      if (w[2] != "name") e.ordinal = ParseOrdinal(w[2], where);
    }
    e.exportName = w.size() == 4 ? w[3] : w[0];
    if (table.Find(e.symbol)) throw std::runtime_error(where + ": " + e.symbol + " is listed twice");
    table.entries.push_back(e);
  }
  return table;
}

DefFile ParseDef(const std::string& text, const std::string& path) {
  DefFile def;
  std::istringstream in(text);
  bool inExports = false;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    std::string where = path + ":" + std::to_string(number);
    line = line.substr(0, line.find(';'));
    std::vector<std::string> w = Words(line);
    if (w.empty()) continue;
    if (w[0] == "LIBRARY" || w[0] == "NAME") {
      inExports = false;
      if (w.size() > 1) def.library = w[1];
      continue;
    }
    if (w[0] == "EXPORTS") {
      inExports = true;
      w.erase(w.begin());
      if (w.empty()) continue;
    }
    if (!inExports) throw std::runtime_error(where + ": unexpected statement " + w[0]);
    DefExport e;
    e.name = w[0];
    size_t i = 1;
    if (i < w.size() && w[i][0] == '@') {
      std::string n = w[i].size() > 1 ? w[i].substr(1) : (++i < w.size() ? w[i] : "");
      e.ordinal = ParseOrdinal(n, where);
      ++i;
    }
    if (i < w.size() && w[i] == "NONAME") {
      if (!e.ordinal) throw std::runtime_error(where + ": NONAME needs an ordinal");
      e.noname = true;
      ++i;
    }
    if (i != w.size()) throw std::runtime_error(where + ": cannot read export line");
    def.exports.push_back(e);
  }
  if (def.exports.empty()) throw std::runtime_error(path + ": no exports");
  return def;
}

void AssignOrdinals(DefFile* def) {
  std::set<uint16_t> used;
  for (const DefExport& e : def->exports)
    if (e.ordinal && !used.insert(e.ordinal).second)
      throw std::runtime_error("ordinal " + std::to_string(e.ordinal) + " is exported twice");
  uint16_t next = 1;
  for (DefExport& e : def->exports) {
    if (e.ordinal) continue;
    while (used.count(next)) ++next;
    e.ordinal = next;
    used.insert(next);
  }
}

}  // namespace peimage
