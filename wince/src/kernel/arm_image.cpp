// Loading a Windows CE ARM PE image into guest memory: headers checked,
// sections mapped, base relocations applied, imports bound, exports and
// resources found, DllMain run on the emulated processor.
#include "kernel/arm_image.h"

#include <ce_setup.h>
#include <todaycmn.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <type_traits>

#include "cpu/imports.h"
#include "cpu/machine.h"
#include "cpu/procs.h"
#include "resource_directory.h"

namespace wince {

namespace {

using cpu::Arena;

constexpr uint16_t kMachineArm = 0x01C0;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint32_t kScnExecute = 0x20000000, kScnWrite = 0x80000000;
enum Directory { kExports = 0, kImports = 1, kResources = 2, kRelocations = 5 };

// A name read from the image, as a refusal may show it: bytes outside
// printable ASCII as \xNN, so that the refusal stays one line of text.
std::string shown(const std::string& name) {
  std::string out;
  for (unsigned char c : name) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
    } else {
      static const char kDigits[] = "0123456789abcdef";
      out += std::string("\\x") + kDigits[c >> 4] + kDigits[c & 15];
    }
  }
  return out;
}

std::string hex(uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%x", v);
  return b;
}

// The headers of an image as read from its file, each checked against the
// file's size.
struct Headers {
  uint32_t imageBase, sizeOfImage, sizeOfHeaders, entry;
  struct Dir {
    uint32_t rva = 0, size = 0;
  } dirs[16];
  struct Section {
    uint32_t rva, virtualSize, rawOffset, rawSize, flags;
  };
  std::vector<Section> sections;
};

bool readHeaders(const std::vector<unsigned char>& f, Headers& h, std::string& why) {
  auto in = [&](size_t at, size_t n) { return at <= f.size() && n <= f.size() - at; };
  if (!in(0, 64) || f[0] != 'M' || f[1] != 'Z') return why = "no DOS header", false;
  const uint32_t pe = read32(&f[0x3C]);
  if (!in(pe, 24) || std::memcmp(&f[pe], "PE\0\0", 4) != 0) return why = "no PE signature", false;
  const unsigned char* fh = &f[pe + 4];
  if (read16(fh) != kMachineArm) return why = "machine " + hex(read16(fh)) + " is not ARM", false;
  const uint32_t sections = read16(fh + 2), optSize = read16(fh + 16);
  const size_t opt = pe + 24;
  if (optSize < 96 || !in(opt, optSize)) return why = "optional header cut short", false;
  const unsigned char* o = &f[opt];
  if (read16(o) != kMagicPe32) return why = "optional header magic is not PE32 (0x10b)", false;
  h.entry = read32(o + 16);
  h.imageBase = read32(o + 28);
  h.sizeOfImage = read32(o + 56);
  h.sizeOfHeaders = read32(o + 60);
  const uint32_t dirCount = std::min<uint32_t>(read32(o + 92), 16);
  if (optSize < 96 + dirCount * 8) return why = "data directories cut short", false;
  if (h.sizeOfImage == 0 || h.sizeOfImage > Arena::kImageSize || h.imageBase % 0x10000)
    return why = "image size or base out of range", false;
  if (h.sizeOfHeaders > h.sizeOfImage || !in(0, h.sizeOfHeaders)) return why = "headers larger than the image", false;
  for (uint32_t i = 0; i < dirCount; ++i) {
    h.dirs[i] = {read32(o + 96 + 8 * i), read32(o + 100 + 8 * i)};
    if (h.dirs[i].rva > h.sizeOfImage || h.dirs[i].size > h.sizeOfImage - h.dirs[i].rva)
      return why = "data directory " + std::to_string(i) + " outside the image", false;
  }
  const size_t table = opt + optSize;
  if (sections == 0 || sections > 96 || !in(table, sections * 40u)) return why = "section table outside the file", false;
  for (uint32_t i = 0; i < sections; ++i) {
    const unsigned char* s = &f[table + 40 * i];
    Headers::Section sec{read32(s + 12), read32(s + 8), read32(s + 20), read32(s + 16), read32(s + 36)};
    if (!sec.virtualSize) sec.virtualSize = sec.rawSize;
    if (sec.rva > h.sizeOfImage || sec.virtualSize > h.sizeOfImage - sec.rva || !in(sec.rawOffset, sec.rawSize))
      return why = "section " + std::to_string(i + 1) + " outside the image or the file", false;
    h.sections.push_back(sec);
  }
  return true;
}

// The export kinds hosts call: the Today item's and the installer's, as
// the platform defines their types; anything else as words.
cpu::ProcSignature exportSignature(const std::string& name, unsigned ordinal) {
  using cpu::ArgKind;
  using cpu::ProcKind;
  if (ordinal == ORDINAL_INITIALIZEITEM || name == "InitializeCustomItem") return {ProcKind::TodayCreate};
  if (ordinal == ORDINAL_OPTIONSDIALOGPROC || name == "CustomItemOptionsDlgProc") return {ProcKind::Window};
  const ArgKind W = ArgKind::Word, S = ArgKind::String;
  auto pool = [](auto hook) -> cpu::ProcPoolOf {
    return &cpu::ProcPool<std::remove_pointer_t<decltype(hook)>>::pointer;
  };
  if (name == "Install_Init") return {ProcKind::Words, 4, {W, W, W, S}, pool(pfnINSTALL_INIT{})};
  if (name == "Install_Exit") return {ProcKind::Words, 7, {W, S, W, W, W, W, W}, pool(pfnINSTALL_EXIT{})};
  if (name == "Uninstall_Init") return {ProcKind::Words, 2, {W, S}, pool(pfnUNINSTALL_INIT{})};
  if (name == "Uninstall_Exit") return {ProcKind::Words, 1, {W}, pool(pfnUNINSTALL_EXIT{})};
  return {ProcKind::Words, 8, {}};
}

}  // namespace

bool ArmImage::isArmImage(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  unsigned char dos[64] = {};
  if (!in.read(reinterpret_cast<char*>(dos), 64) || dos[0] != 'M' || dos[1] != 'Z') return false;
  unsigned char pe[6] = {};
  in.seekg(read32(dos + 0x3C));
  return in.read(reinterpret_cast<char*>(pe), 6) && std::memcmp(pe, "PE\0\0", 4) == 0 && read16(pe + 4) == kMachineArm;
}

std::unique_ptr<ArmImage> ArmImage::load(const std::filesystem::path& file, std::string& error) {
  const std::string fileName = file.filename().string();
  auto refuse = [&](const std::string& why) {
    error = fileName + ": " + why;
    return nullptr;
  };
  std::ifstream in(file, std::ios::binary);
  std::vector<unsigned char> f{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  Headers h;
  std::string why;
  if (!readHeaders(f, h, why)) return refuse("not a valid ARM image (" + why + ")");

  std::unique_ptr<ArmImage> img(new ArmImage);
  img->machine_ = cpu::Machine::shared(why);
  if (!img->machine_) return refuse(why);
  Arena& arena = img->machine_->arena();
  img->name_ = fileName;
  img->size_ = h.sizeOfImage;
  img->base_ = arena.reserveImage(h.imageBase, h.sizeOfImage);
  if (!img->base_) return refuse("no room for the image in guest memory");
  auto* mem = static_cast<unsigned char*>(Arena::host(img->base_));
  std::memcpy(mem, f.data(), h.sizeOfHeaders);
  for (const auto& s : h.sections) std::memcpy(mem + s.rva, f.data() + s.rawOffset, std::min(s.rawSize, s.virtualSize));
  const uint32_t size = h.sizeOfImage;
  auto inImage = [&](uint32_t rva, uint32_t n) { return rva <= size && n <= size - rva; };

  // Base relocations: blocks of 12-bit offsets in a 4 KB page.
  const uint32_t delta = img->base_ - h.imageBase;
  if (delta) {
    const auto& d = h.dirs[kRelocations];
    if (!d.size) return refuse("not at its base " + hex(h.imageBase) + " and without base relocations");
    for (uint32_t at = d.rva; at + 8 <= d.rva + d.size;) {
      const uint32_t page = read32(mem + at), blockSize = read32(mem + at + 4);
      if (blockSize < 8 || blockSize > d.rva + d.size - at) return refuse("damaged base relocations");
      for (uint32_t e = at + 8; e + 2 <= at + blockSize; e += 2) {
        const uint16_t entry = read16(mem + e);
        const uint32_t type = entry >> 12, rva = page + (entry & 0xFFF);
        if (type == 0) continue;  // IMAGE_REL_BASED_ABSOLUTE: padding
        if (type != 3) return refuse("base relocation of type " + std::to_string(type) + " the device does not apply");
        if (!inImage(rva, 4)) return refuse("base relocation outside the image");
        const uint32_t v = read32(mem + rva) + delta;
        std::memcpy(mem + rva, &v, 4);
      }
      at += blockSize;
    }
  }

  // Imports: each bound to the thunk of the platform's function, or the
  // load refused naming what is missing.
  if (const auto& d = h.dirs[kImports]; d.size) {
    for (uint32_t desc = d.rva; inImage(desc, 20) && read32(mem + desc + 12); desc += 20) {
      const uint32_t nameRva = read32(mem + desc + 12);
      const uint32_t lookup = read32(mem + desc) ? read32(mem + desc) : read32(mem + desc + 16);
      const uint32_t iat = read32(mem + desc + 16);
      if (!inImage(nameRva, 1)) return refuse("damaged import table");
      const std::string library(reinterpret_cast<const char*>(mem + nameRva), strnlen(reinterpret_cast<const char*>(mem + nameRva), size - nameRva));
      for (uint32_t i = 0;; ++i) {
        if (!inImage(lookup + 4 * i, 4) || !inImage(iat + 4 * i, 4)) return refuse("damaged import table");
        const uint32_t entry = read32(mem + lookup + 4 * i);
        if (!entry) break;
        unsigned ordinal = 0;
        std::string byName;
        if (entry & 0x80000000u) {
          ordinal = entry & 0xFFFF;
        } else {
          if (!inImage(entry, 3)) return refuse("damaged import table");
          byName.assign(reinterpret_cast<const char*>(mem + entry + 2), strnlen(reinterpret_cast<const char*>(mem + entry + 2), size - entry - 2));
        }
        std::string function;
        const cpu::PlatformImport* p = cpu::findImport(library, ordinal, byName, function);
        const uint32_t thunk = p ? img->machine_->thunkFor(p->name, p->call, p->leaf) : 0;
        if (!thunk) {
          const std::string which = ordinal ? "ordinal " + std::to_string(ordinal) : "\"" + shown(byName) + "\"";
          return refuse("imports " + shown(library) + " " + which + " (" + (function.empty() ? "unknown" : shown(function)) +
                        "), which the device does not have");
        }
        std::memcpy(mem + iat + 4 * i, &thunk, 4);
      }
    }
  }

  // Exports: by ordinal, and names to ordinals.
  if (const auto& d = h.dirs[kExports]; d.size) {
    if (!inImage(d.rva, 40)) return refuse("damaged export table");
    const unsigned char* e = mem + d.rva;
    const uint32_t ordinalBase = read32(e + 16), functions = read32(e + 20), names = read32(e + 24);
    const uint32_t addresses = read32(e + 28), nameTable = read32(e + 32), nameOrdinals = read32(e + 36);
    // Counts checked before they are multiplied: a count of 2^30 or more
    // would wrap to a table that fits.
    if (functions > size / 4 || names > size / 4 || !inImage(addresses, functions * 4) ||
        !inImage(nameTable, names * 4) || !inImage(nameOrdinals, names * 2))
      return refuse("damaged export table");
    for (uint32_t i = 0; i < functions; ++i)
      if (const uint32_t rva = read32(mem + addresses + 4 * i); rva && inImage(rva, 4))
        img->byOrdinal_[ordinalBase + i] = img->base_ + rva;
    for (uint32_t i = 0; i < names; ++i) {
      const uint32_t at = read32(mem + nameTable + 4 * i);
      if (!inImage(at, 1)) return refuse("damaged export table");
      img->ordinalOf_[std::string(reinterpret_cast<const char*>(mem + at), strnlen(reinterpret_cast<const char*>(mem + at), size - at))] =
          ordinalBase + read16(mem + nameOrdinals + 2 * i);
    }
  }

  // Resources, as .res bytes in guest memory.
  if (const auto& d = h.dirs[kResources]; d.size) {
    std::vector<unsigned char> res = resFromResourceTree(mem, size, d.rva, d.size);
    if (res.empty()) return refuse("damaged resources");
    img->resources_ = arena.allocate(static_cast<uint32_t>(res.size()), false);
    if (!img->resources_) return refuse("no room for the resources in guest memory");
    std::memcpy(Arena::host(img->resources_), res.data(), res.size());
    img->resourceSize_ = res.size();
  }

  if (!img->machine_->mapModule(fileName, img->base_, size)) return refuse("the processor refused the image");
  img->mapped_ = true;
  for (const auto& s : h.sections)
    img->machine_->protect(img->base_ + s.rva, s.virtualSize, (s.flags & kScnWrite) != 0, (s.flags & kScnExecute) != 0);
  img->entry_ = h.entry ? img->base_ + h.entry : 0;
  return img;
}

ArmImage::~ArmImage() {
  if (!machine_) return;
  cpu::releaseProcs(base_, size_, name_);
  if (mapped_) machine_->unmapModule(base_);
  if (resources_) machine_->arena().release(resources_);
  if (base_) machine_->arena().releaseImage(base_);
}

const unsigned char* ArmImage::resourceData() const {
  return resources_ ? static_cast<const unsigned char*>(Arena::host(resources_)) : nullptr;
}

bool ArmImage::callEntry(HINSTANCE handle, DWORD reason, void* reserved) {
  if (!entry_) return true;
  const uint32_t args[3] = {cpu::handleToGuest(handle), reason, reserved ? 1u : 0u};
  uint32_t result = 0;
  return machine_->call(entry_, args, 3, result) && result != 0;
}

bool ArmImage::attach(HINSTANCE handle) { return callEntry(handle, DLL_PROCESS_ATTACH, nullptr); }
void ArmImage::detach(HINSTANCE handle, void* reserved) { callEntry(handle, DLL_PROCESS_DETACH, reserved); }

uint32_t ArmImage::exportAddress(const char* name, unsigned ordinal) const {
  if (name) {
    auto it = ordinalOf_.find(name);
    if (it == ordinalOf_.end()) return 0;
    ordinal = it->second;
  }
  auto it = byOrdinal_.find(ordinal);
  return it == byOrdinal_.end() ? 0 : it->second;
}

FARPROC ArmImage::procAddress(const char* name, unsigned ordinal) const {
  const uint32_t address = exportAddress(name, ordinal);
  if (!address) return nullptr;
  if (name) ordinal = ordinalOf_.at(name);
  return reinterpret_cast<FARPROC>(cpu::hostProc(address, exportSignature(name ? name : "", ordinal)));
}

}  // namespace wince
