// A reader of 32-bit little-endian ELF files as clang and ld.lld write them
// for ARM: sections, the symbol table and REL relocation sections. Enough to
// list an object's undefined symbols and to turn a linked image into PE.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace peimage {

constexpr uint32_t kShfWrite = 0x1;
constexpr uint32_t kShfAlloc = 0x2;
constexpr uint32_t kShfExec = 0x4;
constexpr uint32_t kShfTls = 0x400;
constexpr uint32_t kShtProgbits = 1;
constexpr uint32_t kShtNobits = 8;
constexpr uint32_t kShtRel = 9;

// ARM relocation types (ELF for the ARM Architecture, table 4-8).
constexpr uint32_t kRArmNone = 0;
constexpr uint32_t kRArmPc24 = 1;
constexpr uint32_t kRArmAbs32 = 2;
constexpr uint32_t kRArmRel32 = 3;
constexpr uint32_t kRArmCall = 28;
constexpr uint32_t kRArmJump24 = 29;
constexpr uint32_t kRArmTarget1 = 38;
constexpr uint32_t kRArmV4bx = 40;
constexpr uint32_t kRArmPrel31 = 42;

struct ElfSection {
  std::string name;
  uint32_t type = 0;
  uint32_t flags = 0;
  uint32_t addr = 0;
  uint32_t size = 0;
  uint32_t info = 0;  // for a relocation section: the section it applies to
  std::vector<uint8_t> data;  // empty for NOBITS
};

struct ElfSymbol {
  std::string name;
  uint32_t value = 0;
  uint32_t size = 0;
  uint8_t binding = 0;  // 0 local, 1 global, 2 weak
  uint8_t type = 0;     // 1 object, 2 function, 3 section
  uint16_t section = 0; // 0 undefined
  bool defined() const { return section != 0; }
  bool global() const { return binding == 1 || binding == 2; }
};

struct ElfReloc {
  uint32_t offset = 0;  // in a linked file: the address it patches
  uint32_t type = 0;
  uint32_t symbol = 0;
  uint16_t target = 0;  // index of the section it patches
};

struct ElfFile {
  std::string path;
  uint16_t type = 0;     // 1 relocatable, 2 executable
  uint16_t machine = 0;  // 40 for ARM
  std::vector<ElfSection> sections;
  std::vector<ElfSymbol> symbols;
  std::vector<ElfReloc> relocs;

  const ElfSymbol* FindSymbol(const std::string& name) const;
  const ElfSection* FindSection(const std::string& name) const;
};

// Reads an ELF file from bytes (path names it in errors); throws
// std::runtime_error on anything that is not a 32-bit little-endian ARM ELF.
ElfFile ParseElf(const std::vector<uint8_t>& bytes, const std::string& path);
ElfFile ReadElf(const std::string& path);

std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace peimage
