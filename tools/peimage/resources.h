// Resources: the entries of a compiled .res file and the PE resource
// directory (.rsrc) built from them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace peimage {

// A resource type or name: a 16-bit id or a string.
struct ResId {
  bool named = false;
  uint16_t id = 0;
  std::u16string name;
  bool operator==(const ResId& o) const { return named == o.named && id == o.id && name == o.name; }
};

struct Resource {
  ResId type;
  ResId name;
  uint16_t language = 0;
  std::vector<uint8_t> data;
};

// Reads the 32-bit resource file format llvm-rc and rc.exe write: a
// sequence of header + data records, each DWORD-aligned, the first an empty
// one.
std::vector<Resource> ParseRes(const std::vector<uint8_t>& bytes, const std::string& path);

// The .rsrc section's contents for a section placed at rva.
std::vector<uint8_t> BuildResourceSection(const std::vector<Resource>& resources, uint32_t rva);

}  // namespace peimage
