// The image's data directories other than resources: the import directory
// and import address table, the export directory, and base relocations
// (Microsoft PE/COFF specification, "The .idata Section", "The .edata
// Section", "The .reloc Section").
#include <algorithm>
#include <map>
#include <stdexcept>

#include "bytes.h"
#include "image.h"

namespace peimage {
namespace {

constexpr uint32_t kOrdinalFlag = 0x80000000;
constexpr uint32_t kRead = 0x40000000, kInitialized = 0x00000040, kDiscardable = 0x02000000;

ImageSection* SectionAt(std::vector<ImageSection>* sections, uint32_t rva, uint32_t size) {
  for (ImageSection& s : *sections)
    if (rva >= s.rva && rva + size <= s.rva + s.data.size()) return &s;
  return nullptr;
}

}  // namespace

ImportDirectory BuildImports(const ImportTable& table, const ElfFile& elf, std::vector<ImageSection>* sections,
                             uint32_t rva) {
  // The slots, by library in the order their slots lie.
  struct Slot {
    uint32_t rva;
    const ImportEntry* entry;
  };
  std::vector<Slot> slots;
  for (const ElfSymbol& s : elf.symbols) {
    if (!s.defined() || s.name.rfind("__imp_", 0) != 0) continue;
    const ImportEntry* e = table.Find(s.name.substr(6));
    if (!e || e->runtime) throw std::runtime_error(s.name + ": no such import in the import table");
    slots.push_back({s.value - kImageBase, e});
  }
  std::sort(slots.begin(), slots.end(), [](const Slot& a, const Slot& b) { return a.rva < b.rva; });
  std::vector<std::vector<Slot>> byLibrary;
  for (size_t i = 0; i < slots.size(); ++i) {
    if (i == 0 || slots[i].entry->library != slots[i - 1].entry->library) {
      for (const auto& lib : byLibrary)
        if (lib.front().entry->library == slots[i].entry->library)
          throw std::runtime_error(slots[i].entry->library + ": its import slots are not contiguous");
      byLibrary.push_back({});
    } else if (slots[i].rva != slots[i - 1].rva + 4) {
      throw std::runtime_error(slots[i].entry->library + ": its import slots are not contiguous");
    }
    byLibrary.back().push_back(slots[i]);
  }

  ImportDirectory dir;
  ImageSection& out = dir.section;
  out.name = ".idata";
  out.rva = rva;
  out.characteristics = kRead | kInitialized;
  std::vector<uint8_t>& d = out.data;
  // Import directory table: one 20-byte descriptor per library and a null one.
  dir.descriptorsSize = uint32_t(20 * (byLibrary.size() + 1));
  d.resize(dir.descriptorsSize);
  for (size_t li = 0; li < byLibrary.size(); ++li) {
    const std::vector<Slot>& lib = byLibrary[li];
    uint32_t end = lib.back().rva + 4;
    ImageSection* iat = SectionAt(sections, lib.front().rva, end + 4 - lib.front().rva);
    if (!iat || GetU32(iat->data, end - iat->rva) != 0)
      throw std::runtime_error(lib.front().entry->library + ": its import slots do not end with a zero word");
    // Import lookup table: the ordinal with the high bit, or the RVA of a
    // hint/name entry; the IAT starts out holding the same words.
    Align(&d, 4);
    uint32_t lookup = uint32_t(d.size());
    d.resize(lookup + 4 * (lib.size() + 1));
    for (size_t i = 0; i < lib.size(); ++i) {
      uint32_t word;
      if (lib[i].entry->ordinal) {
        word = kOrdinalFlag | lib[i].entry->ordinal;
      } else {
        Align(&d, 2);
        word = rva + uint32_t(d.size());
        PutU16(&d, 0);  // hint: none
        PutString(&d, lib[i].entry->exportName);
        Align(&d, 2);
      }
      SetU32(&d, lookup + 4 * i, word);
      SetU32(&iat->data, lib[i].rva - iat->rva, word);
    }
    uint32_t name = rva + uint32_t(d.size());
    PutString(&d, lib.front().entry->library);
    uint32_t desc = uint32_t(20 * li);
    SetU32(&d, desc, rva + lookup);            // OriginalFirstThunk
    SetU32(&d, desc + 12, name);               // Name
    SetU32(&d, desc + 16, lib.front().rva);    // FirstThunk
    if (li == 0) dir.iatRva = lib.front().rva;
    dir.iatSize = end + 4 - dir.iatRva;
  }
  out.virtualSize = uint32_t(d.size());
  return dir;
}

ImageSection BuildExports(const DefFile& def, const ElfFile& elf, uint32_t rva) {
  uint16_t low = 0xFFFF, high = 0;
  for (const DefExport& e : def.exports) {
    low = std::min(low, e.ordinal);
    high = std::max(high, e.ordinal);
  }
  std::vector<uint32_t> addresses(high - low + 1, 0);
  std::map<std::string, uint16_t> names;  // sorted as the loader's binary search wants
  for (const DefExport& e : def.exports) {
    const ElfSymbol* s = elf.FindSymbol(e.name);
    if (!s) throw std::runtime_error(e.name + ": exported by the .def file but not defined");
    addresses[e.ordinal - low] = s->value - kImageBase;
    if (!e.noname) names[e.name] = uint16_t(e.ordinal - low);
  }
  ImageSection out;
  out.name = ".edata";
  out.rva = rva;
  out.characteristics = kRead | kInitialized;
  std::vector<uint8_t>& d = out.data;
  d.resize(40);  // export directory table
  uint32_t eat = uint32_t(d.size());
  for (uint32_t a : addresses) PutU32(&d, a);
  uint32_t namePointers = uint32_t(d.size());
  d.resize(d.size() + 4 * names.size());
  uint32_t ordinals = uint32_t(d.size());
  for (const auto& n : names) PutU16(&d, n.second);
  uint32_t dllName = uint32_t(d.size());
  PutString(&d, def.library.empty() ? "library.dll" : def.library + ".dll");
  size_t i = 0;
  for (const auto& n : names) {
    SetU32(&d, namePointers + 4 * i++, rva + uint32_t(d.size()));
    PutString(&d, n.first);
  }
  SetU32(&d, 12, rva + dllName);
  SetU32(&d, 16, low);  // ordinal base
  SetU32(&d, 20, uint32_t(addresses.size()));
  SetU32(&d, 24, uint32_t(names.size()));
  SetU32(&d, 28, rva + eat);
  // With no names the two tables are empty, but their RVAs stay valid: some
  // readers look in the ordinal table for every export.
  SetU32(&d, 32, rva + namePointers);
  SetU32(&d, 36, rva + ordinals);
  out.virtualSize = uint32_t(d.size());
  return out;
}

std::vector<uint32_t> AbsoluteAddresses(const ElfFile& elf, const std::vector<ImageSection>& sections) {
  uint32_t low = ~0u, high = 0;
  for (const ImageSection& s : sections) {
    low = std::min(low, s.rva);
    high = std::max(high, s.rva + s.virtualSize);
  }
  std::vector<uint32_t> rvas;
  for (const ElfReloc& r : elf.relocs) {
    const ElfSection& target = elf.sections.at(r.target);
    if (!(target.flags & kShfAlloc)) continue;  // debug information
    switch (r.type) {
      case kRArmNone: case kRArmPc24: case kRArmCall: case kRArmJump24: case kRArmRel32: case kRArmPrel31:
        continue;  // position-relative: the same wherever the image is placed
      case kRArmAbs32: case kRArmTarget1:
        break;
      case kRArmV4bx:
        throw std::runtime_error("a BX instruction at " + std::to_string(r.offset) + ": not on ARMv4");
      default:
        throw std::runtime_error("relocation type " + std::to_string(r.type) + " in " + target.name +
                                 " cannot be expressed as a base relocation");
    }
    uint32_t rva = r.offset - kImageBase;
    const ImageSection* s = nullptr;
    for (const ImageSection& c : sections)
      if (rva >= c.rva && rva + 4 <= c.rva + c.data.size()) s = &c;
    if (!s || rva % 4) throw std::runtime_error("an absolute address outside the image's words, in " + target.name);
    uint32_t value = GetU32(s->data, rva - s->rva);
    if (value < kImageBase + low || value > kImageBase + high)
      throw std::runtime_error("an absolute address in " + target.name + " points outside the image");
    rvas.push_back(rva);
  }
  std::sort(rvas.begin(), rvas.end());
  rvas.erase(std::unique(rvas.begin(), rvas.end()), rvas.end());
  return rvas;
}

ImageSection BuildRelocations(const std::vector<uint32_t>& rvas, uint32_t rva) {
  ImageSection out;
  out.name = ".reloc";
  out.rva = rva;
  out.characteristics = kRead | kInitialized | kDiscardable;
  std::vector<uint8_t>& d = out.data;
  for (size_t i = 0; i < rvas.size();) {
    uint32_t page = rvas[i] & ~0xFFFu;
    size_t block = d.size();
    d.resize(block + 8);
    for (; i < rvas.size() && (rvas[i] & ~0xFFFu) == page; ++i) PutU16(&d, uint16_t(3 << 12 | (rvas[i] & 0xFFF)));
    if ((d.size() - block) % 4) PutU16(&d, 0);  // IMAGE_REL_BASED_ABSOLUTE pads the block
    SetU32(&d, block, page);
    SetU32(&d, block + 4, uint32_t(d.size() - block));
  }
  out.virtualSize = uint32_t(d.size());
  return out;
}

}  // namespace peimage
