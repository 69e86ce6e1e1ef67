// The image file: MS-DOS header, PE signature, COFF file header, PE32
// optional header with its data directories, section table, and the
// sections' raw data (Microsoft PE/COFF specification, "MS-DOS Stub",
// "Signature", "COFF File Header", "Optional Header", "Section Table").
#include "image.h"

#include <algorithm>
#include <stdexcept>

#include "bytes.h"

namespace peimage {
namespace {

constexpr uint16_t kMachineArm = 0x01C0;
constexpr uint16_t kExecutableImage = 0x0002, k32BitMachine = 0x0100, kDll = 0x2000;
constexpr uint16_t kSubsystemWindowsCeGui = 9;
constexpr uint32_t kCode = 0x20, kInitialized = 0x40, kUninitialized = 0x80;
constexpr uint32_t kExecute = 0x20000000, kRead = 0x40000000, kWrite = 0x80000000;
constexpr uint32_t kDosHeaderSize = 0x40;
constexpr uint32_t kOptionalHeaderSize = 224;  // PE32 with 16 data directories

uint32_t AlignUp(uint32_t v, uint32_t to) { return (v + to - 1) / to * to; }

// The linked file's allocated sections as image sections. The linker script
// puts each at its page; anything the device could not load is refused here.
std::vector<ImageSection> LinkedSections(const ElfFile& elf) {
  std::vector<ImageSection> out;
  for (const ElfSection& s : elf.sections) {
    if (!(s.flags & kShfAlloc) || s.size == 0) continue;
    if (s.flags & kShfTls) throw std::runtime_error(s.name + ": thread-local data is not supported");
    if (s.name == ".init_array" || s.name == ".fini_array" || s.name == ".ctors" || s.name == ".dtors")
      throw std::runtime_error(s.name + ": static constructors and destructors are not supported");
    if (s.addr < kImageBase + kSectionAlignment || s.addr % kSectionAlignment)
      throw std::runtime_error(s.name + ": not at a page of the image (address " + std::to_string(s.addr) + ")");
    ImageSection p;
    p.name = s.name.substr(0, 8);
    p.rva = s.addr - kImageBase;
    p.virtualSize = s.size;
    p.data = s.data;
    if (s.flags & kShfExec) p.characteristics = kCode | kExecute | kRead;
    else if (s.type == kShtNobits) p.characteristics = kUninitialized | kRead | kWrite;
    else p.characteristics = kInitialized | kRead | ((s.flags & kShfWrite) ? kWrite : 0);
    if (!out.empty() && p.rva < out.back().rva + out.back().virtualSize)
      throw std::runtime_error(s.name + ": overlaps the section before it");
    out.push_back(std::move(p));
  }
  if (out.empty()) throw std::runtime_error(elf.path + ": no sections to load");
  return out;
}

uint32_t NextRva(const std::vector<ImageSection>& sections) {
  return AlignUp(sections.back().rva + sections.back().virtualSize, kSectionAlignment);
}

}  // namespace

uint32_t PeChecksum(const std::vector<uint8_t>& file, size_t checksumOffset) {
  uint64_t sum = 0;
  for (size_t i = 0; i < file.size(); i += 2) {
    if (i == checksumOffset || i == checksumOffset + 2) continue;
    uint32_t word = file[i] | (i + 1 < file.size() ? file[i + 1] << 8 : 0);
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return uint32_t(sum) + uint32_t(file.size());
}

std::vector<uint8_t> BuildImage(const ImageInputs& in) {
  if (in.elf.type != 2) throw std::runtime_error(in.elf.path + ": not a linked file");
  std::vector<ImageSection> sections = LinkedSections(in.elf);
  std::vector<uint32_t> fixups = AbsoluteAddresses(in.elf, sections);

  // Data directories: 0 export, 1 import, 2 resource, 5 base relocation, 12 IAT.
  uint32_t dirs[16][2] = {};
  ImportDirectory imports = BuildImports(in.imports, in.elf, &sections, NextRva(sections));
  if (imports.descriptorsSize > 20) {
    dirs[1][0] = imports.section.rva;
    dirs[1][1] = imports.descriptorsSize;
    dirs[12][0] = imports.iatRva;
    dirs[12][1] = imports.iatSize;
    sections.push_back(std::move(imports.section));
  }
  sections.push_back(BuildExports(in.def, in.elf, NextRva(sections)));
  dirs[0][0] = sections.back().rva;
  dirs[0][1] = sections.back().virtualSize;
  if (!in.resources.empty()) {
    ImageSection rsrc;
    rsrc.name = ".rsrc";
    rsrc.rva = NextRva(sections);
    rsrc.characteristics = kInitialized | kRead;
    rsrc.data = BuildResourceSection(in.resources, rsrc.rva);
    rsrc.virtualSize = uint32_t(rsrc.data.size());
    dirs[2][0] = rsrc.rva;
    dirs[2][1] = rsrc.virtualSize;
    sections.push_back(std::move(rsrc));
  }
  if (!fixups.empty()) {
    sections.push_back(BuildRelocations(fixups, NextRva(sections)));
    dirs[5][0] = sections.back().rva;
    dirs[5][1] = sections.back().virtualSize;
  }

  uint32_t entry = 0;
  if (!in.entry.empty()) {
    const ElfSymbol* s = in.elf.FindSymbol(in.entry);
    if (!s) throw std::runtime_error(in.entry + ": the entry point is not defined");
    entry = s->value - kImageBase;
  }

  // The headers, then each section's raw data at a file-aligned offset.
  const uint32_t peOffset = kDosHeaderSize;
  const uint32_t optionalOffset = peOffset + 4 + 20;
  const uint32_t tableOffset = optionalOffset + kOptionalHeaderSize;
  const uint32_t headersSize = AlignUp(tableOffset + 40 * uint32_t(sections.size()), kFileAlignment);
  std::vector<uint8_t> f(headersSize);
  f[0] = 'M';
  f[1] = 'Z';
  SetU32(&f, 0x3C, peOffset);  // e_lfanew
  f[peOffset] = 'P';
  f[peOffset + 1] = 'E';
  // COFF file header.
  SetU16(&f, peOffset + 4, kMachineArm);
  SetU16(&f, peOffset + 6, uint16_t(sections.size()));
  SetU32(&f, peOffset + 8, in.timestamp);
  SetU16(&f, peOffset + 20, kOptionalHeaderSize);
  SetU16(&f, peOffset + 22, kExecutableImage | k32BitMachine | kDll);
  // Section table and raw data.
  uint32_t sizeOfCode = 0, sizeOfData = 0, sizeOfBss = 0, baseOfCode = 0, baseOfData = 0;
  for (size_t i = 0; i < sections.size(); ++i) {
    const ImageSection& s = sections[i];
    uint32_t raw = AlignUp(uint32_t(s.data.size()), kFileAlignment);
    uint32_t pointer = raw ? uint32_t(f.size()) : 0;
    uint32_t h = tableOffset + 40 * uint32_t(i);
    std::copy(s.name.begin(), s.name.end(), f.begin() + h);
    SetU32(&f, h + 8, s.virtualSize);
    SetU32(&f, h + 12, s.rva);
    SetU32(&f, h + 16, raw);
    SetU32(&f, h + 20, pointer);
    SetU32(&f, h + 36, s.characteristics);
    f.insert(f.end(), s.data.begin(), s.data.end());
    f.resize(pointer + raw > f.size() ? pointer + raw : f.size());
    if (s.characteristics & kCode) {
      sizeOfCode += raw;
      if (!baseOfCode) baseOfCode = s.rva;
    } else if (s.characteristics & kUninitialized) {
      sizeOfBss += AlignUp(s.virtualSize, kFileAlignment);
    } else {
      sizeOfData += raw;
      if (!baseOfData) baseOfData = s.rva;
    }
  }
  // PE32 optional header: standard fields, Windows-specific fields, directories.
  uint32_t o = optionalOffset;
  SetU16(&f, o, 0x10B);
  SetU32(&f, o + 4, sizeOfCode);
  SetU32(&f, o + 8, sizeOfData);
  SetU32(&f, o + 12, sizeOfBss);
  SetU32(&f, o + 16, entry);
  SetU32(&f, o + 20, baseOfCode);
  SetU32(&f, o + 24, baseOfData);
  SetU32(&f, o + 28, kImageBase);
  SetU32(&f, o + 32, kSectionAlignment);
  SetU32(&f, o + 36, kFileAlignment);
  SetU16(&f, o + 40, 3);  // operating system version 3.00: Windows CE 3.0
  SetU16(&f, o + 42, 0);
  SetU16(&f, o + 48, 3);  // subsystem version 3.00
  SetU16(&f, o + 50, 0);
  SetU32(&f, o + 56, NextRva(sections));  // SizeOfImage
  SetU32(&f, o + 60, headersSize);
  SetU16(&f, o + 68, kSubsystemWindowsCeGui);
  SetU32(&f, o + 72, 0x10000);   // stack reserve
  SetU32(&f, o + 76, 0x1000);    // stack commit
  SetU32(&f, o + 80, 0x100000);  // heap reserve
  SetU32(&f, o + 84, 0x1000);    // heap commit
  SetU32(&f, o + 92, 16);
  for (int d = 0; d < 16; ++d) {
    SetU32(&f, o + 96 + 8 * d, dirs[d][0]);
    SetU32(&f, o + 100 + 8 * d, dirs[d][1]);
  }
  SetU32(&f, o + 64, PeChecksum(f, o + 64));
  return f;
}

}  // namespace peimage
