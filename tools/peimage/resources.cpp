// Resource files in and the resource directory out (Microsoft PE/COFF
// specification, "The .rsrc Section": the resource directory table, its
// entries, the directory strings and the resource data entries).
#include "resources.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "bytes.h"

namespace peimage {
namespace {

// A type or name field of a resource header: 0xFFFF and an ordinal, or a
// NUL-terminated UTF-16 string.
ResId ReadId(const std::vector<uint8_t>& b, size_t* at, size_t end) {
  ResId id;
  if (*at + 2 > end) throw std::runtime_error("truncated resource header");
  if (GetU16(b, *at) == 0xFFFF) {
    if (*at + 4 > end) throw std::runtime_error("truncated resource header");
    id.id = GetU16(b, *at + 2);
    *at += 4;
    return id;
  }
  id.named = true;
  for (;;) {
    if (*at + 2 > end) throw std::runtime_error("unterminated resource name");
    char16_t c = char16_t(GetU16(b, *at));
    *at += 2;
    if (!c) break;
    id.name += c;
  }
  return id;
}

bool Before(const ResId& a, const ResId& b) {
  if (a.named != b.named) return a.named;  // named entries first
  return a.named ? a.name < b.name : a.id < b.id;
}

using NameMap = std::vector<std::pair<ResId, std::vector<const Resource*>>>;

}  // namespace

std::vector<Resource> ParseRes(const std::vector<uint8_t>& b, const std::string& path) {
  std::vector<Resource> out;
  size_t at = 0;
  try {
    while (at + 8 <= b.size()) {
      uint32_t dataSize = GetU32(b, at), headerSize = GetU32(b, at + 4);
      size_t headerEnd = at + headerSize;
      if (headerSize < 32 || headerEnd > b.size() || headerEnd + dataSize > b.size())
        throw std::runtime_error("resource record past the end");
      size_t p = at + 8;
      Resource r;
      r.type = ReadId(b, &p, headerEnd);
      r.name = ReadId(b, &p, headerEnd);
      p = (p + 3) & ~size_t(3);
      if (p + 16 > headerEnd) throw std::runtime_error("truncated resource header");
      r.language = GetU16(b, p + 6);
      r.data.assign(b.begin() + headerEnd, b.begin() + headerEnd + dataSize);
      bool empty = dataSize == 0 && !r.type.named && r.type.id == 0;
      if (!empty) out.push_back(std::move(r));
      at = (headerEnd + dataSize + 3) & ~size_t(3);
    }
  } catch (const std::runtime_error& e) {
    throw std::runtime_error(path + ": " + e.what());
  }
  return out;
}

std::vector<uint8_t> BuildResourceSection(const std::vector<Resource>& resources, uint32_t rva) {
  // The type -> name -> language tree, each level in directory order.
  std::vector<std::pair<ResId, NameMap>> types;
  for (const Resource& r : resources) {
    auto t = std::find_if(types.begin(), types.end(), [&](auto& e) { return e.first == r.type; });
    if (t == types.end()) t = types.insert(types.end(), {r.type, {}});
    auto n = std::find_if(t->second.begin(), t->second.end(), [&](auto& e) { return e.first == r.name; });
    if (n == t->second.end()) n = t->second.insert(t->second.end(), {r.name, {}});
    for (const Resource* other : n->second)
      if (other->language == r.language) throw std::runtime_error("a resource is defined twice");
    n->second.push_back(&r);
  }
  std::sort(types.begin(), types.end(), [](auto& a, auto& b) { return Before(a.first, b.first); });
  for (auto& t : types) {
    std::sort(t.second.begin(), t.second.end(), [](auto& a, auto& b) { return Before(a.first, b.first); });
    for (auto& n : t.second)
      std::sort(n.second.begin(), n.second.end(), [](auto* a, auto* b) { return a->language < b->language; });
  }

  // Sizes first: every directory table, then the strings, the data entries
  // and the data.
  auto tableSize = [](size_t entries) { return uint32_t(16 + 8 * entries); };
  uint32_t dirs = tableSize(types.size());
  for (auto& t : types) {
    dirs += tableSize(t.second.size());
    for (auto& n : t.second) dirs += tableSize(n.second.size());
  }
  std::vector<uint8_t> out(dirs);
  std::map<std::u16string, uint32_t> strings;
  auto stringOffset = [&](const std::u16string& s) {
    auto it = strings.find(s);
    if (it != strings.end()) return it->second;
    uint32_t off = uint32_t(out.size());
    PutU16(&out, uint16_t(s.size()));
    for (char16_t c : s) PutU16(&out, uint16_t(c));
    strings[s] = off;
    return off;
  };
  auto entryName = [&](const ResId& id) { return id.named ? 0x80000000u | stringOffset(id.name) : id.id; };

  uint32_t next = 0;  // where the next directory table goes
  auto writeTable = [&](uint32_t at, size_t named, size_t ids) {
    SetU16(&out, at + 12, uint16_t(named));
    SetU16(&out, at + 14, uint16_t(ids));
  };
  auto countNamed = [](auto& list) {
    return size_t(std::count_if(list.begin(), list.end(), [](auto& e) { return e.first.named; }));
  };
  struct PendingData {
    uint32_t entrySlot;  // where the language entry's offset goes
    const Resource* r;
  };
  std::vector<PendingData> pending;
  uint32_t root = next;
  next += tableSize(types.size());
  writeTable(root, countNamed(types), types.size() - countNamed(types));
  for (size_t ti = 0; ti < types.size(); ++ti) {
    auto& t = types[ti];
    uint32_t typeDir = next;
    next += tableSize(t.second.size());
    SetU32(&out, root + 16 + 8 * ti, entryName(t.first));
    SetU32(&out, root + 20 + 8 * ti, 0x80000000u | typeDir);
    writeTable(typeDir, countNamed(t.second), t.second.size() - countNamed(t.second));
    for (size_t ni = 0; ni < t.second.size(); ++ni) {
      auto& n = t.second[ni];
      uint32_t nameDir = next;
      next += tableSize(n.second.size());
      SetU32(&out, typeDir + 16 + 8 * ni, entryName(n.first));
      SetU32(&out, typeDir + 20 + 8 * ni, 0x80000000u | nameDir);
      writeTable(nameDir, 0, n.second.size());
      for (size_t li = 0; li < n.second.size(); ++li) {
        SetU32(&out, nameDir + 16 + 8 * li, n.second[li]->language);
        pending.push_back({nameDir + 20 + uint32_t(8 * li), n.second[li]});
      }
    }
  }
  // Resource data entries (16 bytes each), then the data, 8-byte aligned.
  Align(&out, 4);
  uint32_t entries = uint32_t(out.size());
  out.resize(entries + 16 * pending.size());
  for (size_t i = 0; i < pending.size(); ++i) {
    uint32_t entry = entries + uint32_t(16 * i);
    SetU32(&out, pending[i].entrySlot, entry);
    Align(&out, 8);
    SetU32(&out, entry, rva + uint32_t(out.size()));
    SetU32(&out, entry + 4, uint32_t(pending[i].r->data.size()));
    out.insert(out.end(), pending[i].r->data.begin(), pending[i].r->data.end());
  }
  return out;
}

}  // namespace peimage
