// Reading compiled resources: the bytes of a Win32 .res file as resource
// compilers write it. The file is a row of records, each DWORD-aligned:
//
//   DWORD DataSize, DWORD HeaderSize,
//   type, name   (each 0xFFFF + WORD ordinal, or a NUL-terminated UTF-16 string),
//   padding to a DWORD,
//   DWORD DataVersion, WORD MemoryFlags, WORD LanguageId, DWORD Version,
//   DWORD Characteristics,
//   DataSize bytes of data, padding to a DWORD.
//
// The first record is an empty one (type and name ordinal 0) that marks the
// file as 32-bit; it is skipped.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wince {

// Little-endian fields of resource data, which need not be aligned.
inline uint16_t read16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t read32(const unsigned char* p) { return read16(p) | static_cast<uint32_t>(read16(p + 2)) << 16; }

// A resource type or name: an ordinal or a string.
struct ResourceId {
  uint16_t ordinal = 0;  // meaningful when `name` is empty
  std::u16string name;

  ResourceId() = default;
  ResourceId(uint16_t n) : ordinal(n) {}  // NOLINT: ordinals read naturally as numbers
  explicit ResourceId(std::u16string s) : name(std::move(s)) {}

  // From a platform argument: MAKEINTRESOURCE(n), "#n" (the ordinal n) or a
  // string name.
  static ResourceId fromArgument(LPCWSTR p);

  bool isOrdinal() const { return name.empty(); }
  // Ordinals by value, strings without regard to case.
  bool matches(const ResourceId& other) const;
  std::string describe() const;  // "#14" or "\"NAME\""
};

struct ResourceEntry {
  ResourceId type;
  ResourceId name;
  uint16_t language = 0;
  uint16_t memoryFlags = 0;
  const unsigned char* data = nullptr;  // inside the bytes the directory was made from
  uint32_t size = 0;
};

// The resources in one .res image. The directory does not copy the bytes:
// they must outlive it.
class ResourceDirectory {
 public:
  ResourceDirectory() = default;
  ResourceDirectory(const unsigned char* data, size_t size);

  // False when the bytes ended inside a record or a record's sizes were
  // impossible; the records before the damage are still listed.
  bool intact() const { return intact_; }
  const std::vector<ResourceEntry>& entries() const { return entries_; }

  // The first resource of that type and name (of any language), or null.
  const ResourceEntry* find(const ResourceId& type, const ResourceId& name) const;
  bool hasType(const ResourceId& type) const;
  // True when `entry` points at one of this directory's entries.
  bool owns(const void* entry) const;

 private:
  std::vector<ResourceEntry> entries_;
  bool intact_ = true;
};

}  // namespace wince
