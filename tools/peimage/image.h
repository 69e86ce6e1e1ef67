// The Windows CE image: a PE32 DLL for machine ARM (0x01C0) made from an
// ELF file linked by ld.lld with its relocations kept (--emit-relocs), the
// import table, the library's .def file and its compiled resources.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "elf.h"
#include "resources.h"
#include "tables.h"

namespace peimage {

constexpr uint32_t kImageBase = 0x10000000;
constexpr uint32_t kSectionAlignment = 0x1000;
constexpr uint32_t kFileAlignment = 0x200;

struct ImageInputs {
  ElfFile elf;
  ImportTable imports;
  DefFile def;
  std::vector<Resource> resources;
  std::string entry = "DllMain";  // empty: no entry point
  uint32_t timestamp = 0;
};

// One section of the image as it will be in memory.
struct ImageSection {
  std::string name;
  uint32_t rva = 0;
  uint32_t virtualSize = 0;
  uint32_t characteristics = 0;
  std::vector<uint8_t> data;  // initialized bytes (fewer than virtualSize: zero fill)
};

// What the directories builders hand to the image writer.
struct ImportDirectory {
  ImageSection section;  // .idata: descriptors, lookup tables, hint/names, library names
  uint32_t descriptorsSize = 0;
  uint32_t iatRva = 0, iatSize = 0;
};

// Builds the import directory for the IAT slots the linked file holds
// (symbols __imp_NAME) and fills those slots in place.
ImportDirectory BuildImports(const ImportTable& table, const ElfFile& elf, std::vector<ImageSection>* sections,
                             uint32_t rva);
// Builds .edata from the .def file's exports, found among the linked file's
// symbols.
ImageSection BuildExports(const DefFile& def, const ElfFile& elf, uint32_t rva);
// The RVAs of every absolute address in the linked sections, from the kept
// relocations; throws on a relocation the device's loader could not apply.
std::vector<uint32_t> AbsoluteAddresses(const ElfFile& elf, const std::vector<ImageSection>& sections);
// Builds .reloc: IMAGE_REL_BASED_HIGHLOW fixups in 4 KB page blocks.
ImageSection BuildRelocations(const std::vector<uint32_t>& rvas, uint32_t rva);

std::vector<uint8_t> BuildImage(const ImageInputs& in);

// The image checksum (as the loader's CheckSumMappedFile computes it).
uint32_t PeChecksum(const std::vector<uint8_t>& file, size_t checksumOffset);

}  // namespace peimage
