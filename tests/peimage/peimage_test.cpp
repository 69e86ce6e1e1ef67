// The device build's image tool on a tiny ARM library linked by ld.lld:
// the image is read back through its own headers, as a loader walks it,
// and the tool's refusals are driven with inputs the device could not load.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "bytes.h"
#include "elf.h"
#include "image.h"
#include "thunks.h"

using namespace peimage;

namespace {

std::string Data(const std::string& name) { return std::string(PEIMAGE_TESTDATA) + "/" + name; }
std::string Source(const std::string& name) { return std::string(PEIMAGE_TESTSRC) + "/" + name; }
std::string Text(const std::string& path) {
  std::vector<uint8_t> b = ReadFileBytes(path);
  return std::string(b.begin(), b.end());
}

ImageInputs TinyInputs() {
  ImageInputs in;
  in.elf = ReadElf(Data("tiny.elf"));
  in.imports = ParseImportTable(Text(Source("tiny_imports.txt")), "tiny_imports.txt");
  in.def = ParseDef(Text(Source("tiny.def")), "tiny.def");
  AssignOrdinals(&in.def);
  in.resources = ParseRes(ReadFileBytes(Data("tiny.res")), "tiny.res");
  return in;
}

// A PE file read back by its headers alone.
struct Pe {
  std::vector<uint8_t> f;
  uint32_t pe = 0, opt = 0;
  explicit Pe(std::vector<uint8_t> bytes) : f(std::move(bytes)) {
    pe = GetU32(f, 0x3C);
    opt = pe + 24;
  }
  uint16_t Sections() const { return GetU16(f, pe + 6); }
  uint32_t Section(int i, int field) const { return GetU32(f, opt + GetU16(f, pe + 20) + 40 * i + field); }
  std::string SectionName(int i) const {
    const char* p = reinterpret_cast<const char*>(&f[opt + GetU16(f, pe + 20) + 40 * i]);
    return std::string(p, strnlen(p, 8));
  }
  uint32_t Dir(int d, int field = 0) const { return GetU32(f, opt + 96 + 8 * d + 4 * field); }
  size_t Offset(uint32_t rva) const {
    for (int i = 0; i < Sections(); ++i)
      if (rva >= Section(i, 12) && rva < Section(i, 12) + Section(i, 16)) return Section(i, 20) + rva - Section(i, 12);
    throw std::runtime_error("RVA " + std::to_string(rva) + " not in the file");
  }
  uint32_t U32(uint32_t rva) const { return GetU32(f, Offset(rva)); }
  uint16_t U16(uint32_t rva) const { return GetU16(f, Offset(rva)); }
  std::string Str(uint32_t rva) const { return reinterpret_cast<const char*>(&f[Offset(rva)]); }
  // The entry of a resource directory table at dir whose id or name matches.
  uint32_t ResEntry(uint32_t dir, int index) const { return Dir(2) + dir + 16 + 8 * index; }
};

uint32_t SymbolRva(const ElfFile& elf, const std::string& name) {
  const ElfSymbol* s = elf.FindSymbol(name);
  if (!s) throw std::runtime_error(name + " not in the linked file");
  return s->value - kImageBase;
}

class PeImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    in = TinyInputs();
    image = Pe(BuildImage(in));
  }
  ImageInputs in;
  Pe image{std::vector<uint8_t>(64)};
};

TEST_F(PeImageTest, HeadersAreThoseOfAWindowsCeArmDll) {
  const Pe& p = image;
  EXPECT_EQ(p.f[0], 'M');
  EXPECT_EQ(GetU32(p.f, p.pe), 0x4550u);  // "PE\0\0"
  struct Field {
    size_t at;
    int size;
    uint32_t want;
    const char* what;
  } fields[] = {
      {p.pe + 4, 2, 0x01C0, "machine ARM"},
      {p.pe + 22, 2, 0x2102, "executable, 32-bit, DLL"},
      {p.pe + 20, 2, 224, "PE32 optional header size"},
      {p.opt, 2, 0x10B, "PE32"},
      {p.opt + 16, 4, SymbolRva(in.elf, "DllMain"), "entry point"},
      {p.opt + 28, 4, 0x10000000, "image base"},
      {p.opt + 32, 4, 0x1000, "section alignment"},
      {p.opt + 36, 4, 0x200, "file alignment"},
      {p.opt + 40, 2, 3, "OS version 3"},
      {p.opt + 48, 2, 3, "subsystem version 3"},
      {p.opt + 50, 2, 0, "subsystem version .00"},
      {p.opt + 68, 2, 9, "Windows CE GUI"},
      {p.opt + 92, 4, 16, "data directories"},
  };
  for (const Field& f : fields)
    EXPECT_EQ(f.size == 2 ? GetU16(p.f, f.at) : GetU32(p.f, f.at), f.want) << f.what;
  uint32_t last = p.Sections() - 1;
  EXPECT_EQ(GetU32(p.f, p.opt + 56), (p.Section(last, 12) + p.Section(last, 8) + 0xFFF) & ~0xFFFu) << "SizeOfImage";
  EXPECT_EQ(GetU32(p.f, p.opt + 64), PeChecksum(p.f, p.opt + 64));
}

TEST_F(PeImageTest, SectionsFollowEachOtherPageByPageWithTheirAccess) {
  const struct {
    const char* name;
    uint32_t characteristics;
  } want[] = {{".text", 0x60000020}, {".rdata", 0x40000040}, {".data", 0xC0000040}, {".idata", 0x40000040},
              {".edata", 0x40000040}, {".rsrc", 0x40000040}, {".reloc", 0x42000040}};
  ASSERT_EQ(image.Sections(), std::size(want));
  uint32_t nextRva = 0x1000, nextRaw = GetU32(image.f, image.opt + 60);
  for (int i = 0; i < image.Sections(); ++i) {
    EXPECT_EQ(image.SectionName(i), want[i].name);
    EXPECT_EQ(image.Section(i, 36), want[i].characteristics) << want[i].name;
    EXPECT_EQ(image.Section(i, 12), nextRva) << want[i].name;
    EXPECT_EQ(image.Section(i, 20), nextRaw) << want[i].name;
    EXPECT_EQ(image.Section(i, 16) % 0x200, 0u) << want[i].name;
    nextRva = (image.Section(i, 12) + image.Section(i, 8) + 0xFFF) & ~0xFFFu;
    nextRaw += image.Section(i, 16);
  }
  EXPECT_EQ(image.f.size(), nextRaw);
}

TEST_F(PeImageTest, ImportsByOrdinalAndByNameWithTheirSlots) {
  struct Want {
    const char* library;
    uint32_t lookup;  // the ordinal word, or 0 for the name below
    const char* name;
    const char* symbol;
  } want[] = {{"COREDLL.dll", 0x80000000 | 858, nullptr, "__imp_MessageBoxW"},
              {"aygshell.dll", 0, "SHInitDialog", "__imp_SHInitDialog"}};
  uint32_t d = image.Dir(1);
  EXPECT_EQ(image.Dir(1, 1), 20u * 3);
  for (size_t i = 0; i < std::size(want); ++i, d += 20) {
    EXPECT_EQ(image.Str(image.U32(d + 12)), want[i].library);
    uint32_t lookup = image.U32(image.U32(d)), iat = image.U32(d + 16);
    if (want[i].name) {
      EXPECT_EQ(lookup & 0x80000000, 0u);
      EXPECT_EQ(image.U16(lookup), 0u) << "hint";
      EXPECT_EQ(image.Str(lookup + 2), want[i].name);
    } else {
      EXPECT_EQ(lookup, want[i].lookup);
    }
    EXPECT_EQ(image.U32(image.U32(d) + 4), 0u) << "lookup table end";
    EXPECT_EQ(iat, SymbolRva(in.elf, want[i].symbol));
    EXPECT_EQ(image.U32(iat), lookup) << "the IAT starts as the lookup table";
    EXPECT_EQ(image.U32(iat + 4), 0u) << "IAT end";
    EXPECT_GE(iat, image.Dir(12));
    EXPECT_LE(iat + 8, image.Dir(12) + image.Dir(12, 1));
  }
  EXPECT_EQ(image.U32(d + 12), 0u) << "null descriptor";
}

TEST_F(PeImageTest, ExportsByNameAndByOrdinalOnly) {
  uint32_t e = image.Dir(0);
  EXPECT_EQ(image.Str(image.U32(e + 12)), "tiny.dll");
  EXPECT_EQ(image.U32(e + 16), 1u) << "ordinal base";
  ASSERT_EQ(image.U32(e + 20), 7u) << "addresses, ordinals 1 to 7";
  ASSERT_EQ(image.U32(e + 24), 1u) << "names";
  uint32_t eat = image.U32(e + 28);
  EXPECT_EQ(image.U32(eat), SymbolRva(in.elf, "Tiny_Show"));
  EXPECT_EQ(image.U32(eat + 24), SymbolRva(in.elf, "Tiny_Hidden"));
  for (int gap = 1; gap < 6; ++gap) EXPECT_EQ(image.U32(eat + 4 * gap), 0u) << "unused ordinal " << gap + 1;
  EXPECT_EQ(image.Str(image.U32(image.U32(e + 32))), "Tiny_Show");
  EXPECT_EQ(image.U16(image.U32(e + 36)), 0u) << "Tiny_Show is ordinal base + 0";
}

TEST_F(PeImageTest, EveryAbsoluteAddressHasABaseRelocation) {
  std::set<uint32_t> relocated;
  for (uint32_t b = image.Dir(5); b < image.Dir(5) + image.Dir(5, 1);) {
    uint32_t page = image.U32(b), size = image.U32(b + 4);
    ASSERT_EQ(size % 4, 0u);
    for (uint32_t at = b + 8; at < b + size; at += 2) {
      uint16_t entry = image.U16(at);
      if (entry >> 12 == 0) continue;  // padding
      EXPECT_EQ(entry >> 12, 3) << "HIGHLOW";
      uint32_t rva = page + (entry & 0xFFF);
      EXPECT_TRUE(relocated.insert(rva).second) << "twice: " << rva;
      uint32_t value = image.U32(rva);
      EXPECT_GE(value, kImageBase);
      EXPECT_LT(value, kImageBase + GetU32(image.f, image.opt + 56));
    }
    b += size;
  }
  std::set<uint32_t> absolute;
  for (const ElfReloc& r : in.elf.relocs)
    if ((r.type == kRArmAbs32) && (in.elf.sections[r.target].flags & kShfAlloc)) absolute.insert(r.offset - kImageBase);
  EXPECT_EQ(relocated, absolute);
  // Among them: the data's pointer to the text, and each thunk's slot.
  EXPECT_TRUE(relocated.count(SymbolRva(in.elf, "table")));
  EXPECT_TRUE(relocated.count(SymbolRva(in.elf, "MessageBoxW") + 8));
  EXPECT_EQ(image.U32(SymbolRva(in.elf, "MessageBoxW") + 8), kImageBase + SymbolRva(in.elf, "__imp_MessageBoxW"));
}

TEST_F(PeImageTest, ResourcesAsATypeNameLanguageTree) {
  const Pe& p = image;
  uint32_t root = p.Dir(2);
  ASSERT_EQ(p.U16(root + 12), 1) << "named types";
  ASSERT_EQ(p.U16(root + 14), 1) << "id types";
  // Named entries first: TEXTFILE (its name a counted UTF-16 string), then RCDATA (10).
  uint32_t nameField = p.U32(p.ResEntry(0, 0));
  ASSERT_TRUE(nameField & 0x80000000);
  uint32_t str = root + (nameField & 0x7FFFFFFF);
  std::string name;
  for (int i = 0; i < p.U16(str); ++i) name += char(p.U16(str + 2 + 2 * i));
  EXPECT_EQ(name, "TEXTFILE");
  EXPECT_EQ(p.U32(p.ResEntry(0, 1)), 10u);
  // RCDATA 7 in languages 7 and 9, in that order, each with its bytes.
  uint32_t rcdata = p.U32(p.ResEntry(0, 1) + 4) & 0x7FFFFFFF;
  EXPECT_EQ(p.U32(p.ResEntry(rcdata, 0)), 7u);
  uint32_t languages = p.U32(p.ResEntry(rcdata, 0) + 4) & 0x7FFFFFFF;
  ASSERT_EQ(p.U16(root + languages + 14), 2);
  const struct {
    uint16_t language;
    std::vector<uint8_t> bytes;
  } want[] = {{0x407, {4, 0, 5, 0}}, {0x409, {1, 0, 2, 0, 3, 0}}};
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(p.U32(p.ResEntry(languages, i)), want[i].language);
    uint32_t dataEntry = root + p.U32(p.ResEntry(languages, i) + 4);
    uint32_t rva = p.U32(dataEntry), size = p.U32(dataEntry + 4);
    EXPECT_EQ(rva % 8, 0u);
    std::vector<uint8_t> got(p.f.begin() + p.Offset(rva), p.f.begin() + p.Offset(rva) + size);
    EXPECT_EQ(got, want[i].bytes);
  }
}

TEST(PeImageThunks, PlanPullsTheRuntimeItNeedsAndNamesWhatIsMissing) {
  ImportTable table = ParseImportTable(Text(Source("tiny_imports.txt")), "tiny_imports.txt");
  std::vector<ElfFile> objects{ReadElf(Data("tiny.o"))};
  std::vector<ElfFile> runtime{ReadElf(Data("strings.o")), ReadElf(Data("divide.o"))};
  ThunkPlan plan = PlanThunks(table, objects, runtime);
  ASSERT_EQ(plan.imports.size(), 2u);
  EXPECT_EQ(plan.imports[0]->symbol, "MessageBoxW");
  EXPECT_EQ(plan.imports[1]->symbol, "SHInitDialog");
  EXPECT_EQ(plan.runtimeObjects, std::vector<std::string>{Data("divide.o")});
  std::string s = ThunkAssembly(plan);
  EXPECT_NE(s.find("MessageBoxW:\n\tldr ip, .Lslot_MessageBoxW\n\tldr pc, [ip]"), std::string::npos);
  EXPECT_EQ(s.find("bx"), std::string::npos);

  ImportTable lacking = ParseImportTable("SHInitDialog aygshell.dll name\n", "lacking");
  try {
    PlanThunks(lacking, objects, {});
    FAIL() << "an undefined symbol was accepted";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("MessageBoxW: not in the platform's import table"), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("__aeabi_idiv"), std::string::npos);
  }
}

// Inputs the device could not load, each refused with a reason.
TEST(PeImageRefusals, WhatTheDeviceCannotLoadIsRefused) {
  struct Case {
    const char* what;
    void (*spoil)(ImageInputs*);
    const char* message;
  } cases[] = {
      {"a constructor table",
       [](ImageInputs* in) {
         ElfSection s;
         s.name = ".init_array";
         s.flags = kShfAlloc | kShfWrite;
         s.addr = 0x10080000;
         s.size = 4;
         s.data.resize(4);
         in->elf.sections.push_back(s);
       },
       "static constructors"},
      {"thread-local data",
       [](ImageInputs* in) {
         for (ElfSection& s : in->elf.sections)
           if (s.name == ".data") s.flags |= kShfTls;
       },
       "thread-local"},
      {"a MOVW relocation", [](ImageInputs* in) { in->elf.relocs.front().type = 43; }, "relocation type 43"},
      {"a BX fixup", [](ImageInputs* in) { in->elf.relocs.front().type = kRArmV4bx; }, "BX"},
      {"an export with no code",
       [](ImageInputs* in) { in->def.exports.push_back({"Tiny_Missing", 9, false}); }, "Tiny_Missing"},
      {"no entry point", [](ImageInputs* in) { in->entry = "NoSuchEntry"; }, "NoSuchEntry"},
      {"a slot for no import", [](ImageInputs* in) { in->imports.entries.erase(in->imports.entries.begin()); },
       "__imp_MessageBoxW"},
      {"a relocated word pointing elsewhere",
       [](ImageInputs* in) {
         for (ElfSection& s : in->elf.sections)
           if (s.name == ".data") SetU32(&s.data, 0, 0x20000000);
       },
       "points outside the image"},
  };
  for (const Case& c : cases) {
    ImageInputs in = TinyInputs();
    c.spoil(&in);
    try {
      BuildImage(in);
      ADD_FAILURE() << c.what << " was accepted";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.what << ": " << e.what();
    }
  }
}

TEST(PeImageDef, ExportLinesAndOrdinals) {
  auto read = [](const char* text) {
    DefFile d = ParseDef(text, "x.def");
    AssignOrdinals(&d);
    return d;
  };
  const DefFile def = read("LIBRARY x\nEXPORTS\n  A\n  B @2\n  C @ 1 NONAME ; comment\n  D\n");
  ASSERT_EQ(def.exports.size(), 4u);
  const struct {
    const char* name;
    uint16_t ordinal;
    bool noname;
  } want[] = {{"A", 3, false}, {"B", 2, false}, {"C", 1, true}, {"D", 4, false}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(def.exports[i].name, want[i].name);
    EXPECT_EQ(def.exports[i].ordinal, want[i].ordinal) << want[i].name;
    EXPECT_EQ(def.exports[i].noname, want[i].noname) << want[i].name;
  }
  for (const char* bad : {"EXPORTS\n A NONAME\n", "EXPORTS\n A @0\n", "EXPORTS\n A @x\n", "LIBRARY x\n",
                          "EXPORTS\n A @1\n B @1\n"})
    EXPECT_THROW(read(bad), std::runtime_error) << bad;
}

}  // namespace
