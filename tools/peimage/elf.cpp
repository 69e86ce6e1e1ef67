// ELF32 reading: the ELF header, the section header table, .symtab and the
// SHT_REL sections (System V ABI, "Object Files"; ARM supplement for types).
#include "elf.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace peimage {
namespace {

uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
  if (at + 2 > b.size()) throw std::runtime_error("read past the end");
  return uint16_t(b[at] | b[at + 1] << 8);
}
uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  if (at + 4 > b.size()) throw std::runtime_error("read past the end");
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
std::string CString(const std::vector<uint8_t>& b, size_t at) {
  std::string s;
  while (at < b.size() && b[at]) s += char(b[at++]);
  if (at >= b.size()) throw std::runtime_error("unterminated string");
  return s;
}

}  // namespace

const ElfSymbol* ElfFile::FindSymbol(const std::string& name) const {
  for (const ElfSymbol& s : symbols)
    if (s.name == name && s.defined() && s.global()) return &s;
  return nullptr;
}

const ElfSection* ElfFile::FindSection(const std::string& name) const {
  for (const ElfSection& s : sections)
    if (s.name == name) return &s;
  return nullptr;
}

ElfFile ParseElf(const std::vector<uint8_t>& b, const std::string& path) {
  ElfFile f;
  f.path = path;
  try {
    if (b.size() < 52 || b[0] != 0x7f || b[1] != 'E' || b[2] != 'L' || b[3] != 'F')
      throw std::runtime_error("not an ELF file");
    if (b[4] != 1 || b[5] != 1) throw std::runtime_error("not a 32-bit little-endian ELF file");
    f.type = U16(b, 16);
    f.machine = U16(b, 18);
    if (f.machine != 40) throw std::runtime_error("not an ARM ELF file");
    uint32_t shoff = U32(b, 32);
    uint16_t shentsize = U16(b, 46), shnum = U16(b, 48), shstrndx = U16(b, 50);
    if (shentsize != 40) throw std::runtime_error("unexpected section header size");
    struct Raw {
      uint32_t name, type, flags, addr, offset, size, link, info, entsize;
    };
    std::vector<Raw> raw(shnum);
    for (uint16_t i = 0; i < shnum; ++i) {
      size_t h = shoff + size_t(i) * 40;
      raw[i] = {U32(b, h), U32(b, h + 4), U32(b, h + 8), U32(b, h + 12), U32(b, h + 16),
                U32(b, h + 20), U32(b, h + 24), U32(b, h + 28), U32(b, h + 36)};
    }
    if (shstrndx >= shnum) throw std::runtime_error("no section name table");
    const Raw& names = raw[shstrndx];
    for (const Raw& r : raw) {
      ElfSection s;
      s.name = CString(b, names.offset + r.name);
      s.type = r.type;
      s.flags = r.flags;
      s.addr = r.addr;
      s.size = r.size;
      s.info = r.info;
      if (r.type != kShtNobits && r.size) {
        if (size_t(r.offset) + r.size > b.size()) throw std::runtime_error("section " + s.name + " past the end");
        s.data.assign(b.begin() + r.offset, b.begin() + r.offset + r.size);
      }
      f.sections.push_back(std::move(s));
    }
    // The symbol table (SHT_SYMTAB = 2) and its string table (sh_link).
    for (const Raw& r : raw) {
      if (r.type != 2) continue;
      const Raw& strtab = raw.at(r.link);
      for (uint32_t at = r.offset; at + 16 <= r.offset + r.size; at += 16) {
        ElfSymbol s;
        s.name = CString(b, strtab.offset + U32(b, at));
        s.value = U32(b, at + 4);
        s.size = U32(b, at + 8);
        s.binding = b[at + 12] >> 4;
        s.type = b[at + 12] & 0xf;
        s.section = U16(b, at + 14);
        f.symbols.push_back(std::move(s));
      }
    }
    for (const Raw& r : raw) {
      if (r.type == 4) throw std::runtime_error("RELA relocations are not expected on ARM");
      if (r.type != kShtRel) continue;
      for (uint32_t at = r.offset; at + 8 <= r.offset + r.size; at += 8) {
        uint32_t info = U32(b, at + 4);
        f.relocs.push_back({U32(b, at), info & 0xff, info >> 8, uint16_t(r.info)});
      }
    }
  } catch (const std::runtime_error& e) {
    throw std::runtime_error(path + ": " + e.what());
  }
  return f;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(path + ": cannot open");
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

ElfFile ReadElf(const std::string& path) { return ParseElf(ReadFileBytes(path), path); }

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  if (!out) throw std::runtime_error(path + ": cannot write");
}

}  // namespace peimage
