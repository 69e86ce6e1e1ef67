#include "resource_directory.h"

namespace wince {

namespace {

size_t align4(size_t v) { return (v + 3) & ~size_t{3}; }

// Reads a type or name field at `pos`, no further than `end`; advances pos.
bool readId(const unsigned char* data, size_t& pos, size_t end, ResourceId& out) {
  if (pos + 2 > end) return false;
  if (read16(data + pos) == 0xFFFF) {
    if (pos + 4 > end) return false;
    out = ResourceId(read16(data + pos + 2));
    pos += 4;
    return true;
  }
  std::u16string s;
  for (;;) {
    if (pos + 2 > end) return false;
    char16_t c = read16(data + pos);
    pos += 2;
    if (!c) break;
    s += c;
  }
  out = ResourceId(std::move(s));
  return true;
}

}  // namespace

ResourceId ResourceId::fromArgument(LPCWSTR p) {
  if (IS_INTRESOURCE(p)) return ResourceId(static_cast<uint16_t>(reinterpret_cast<uintptr_t>(p)));
  std::u16string s(p);
  if (s.size() > 1 && s[0] == u'#') {
    unsigned long n = 0;
    bool digits = s.size() <= 6;
    for (size_t i = 1; i < s.size() && digits; ++i) {
      if (s[i] < u'0' || s[i] > u'9') digits = false;
      else n = n * 10 + (s[i] - u'0');
    }
    if (digits && n <= 0xFFFF) return ResourceId(static_cast<uint16_t>(n));
  }
  return ResourceId(std::move(s));
}

bool ResourceId::matches(const ResourceId& other) const {
  if (isOrdinal() || other.isOrdinal()) return isOrdinal() && other.isOrdinal() && ordinal == other.ordinal;
  // Names hold no NUL, so the platform's case-insensitive comparison (ASCII
  // and Latin-1 letters) sees all of them.
  return lstrcmpiW(name.c_str(), other.name.c_str()) == 0;
}

std::string ResourceId::describe() const {
  if (isOrdinal()) return "#" + std::to_string(ordinal);
  std::string s = "\"";
  for (char16_t c : name) s += c < 0x80 ? static_cast<char>(c) : '?';
  return s + "\"";
}

ResourceDirectory::ResourceDirectory(const unsigned char* data, size_t size) {
  size_t pos = 0;
  while (pos < size) {
    // Trailing padding shorter than a header is not damage.
    if (size - pos < 8) {
      for (size_t i = pos; i < size; ++i)
        if (data[i]) intact_ = false;
      break;
    }
    const uint32_t dataSize = read32(data + pos);
    const uint32_t headerSize = read32(data + pos + 4);
    if (headerSize < 16 || headerSize > size - pos || dataSize > size - pos - headerSize) {
      intact_ = false;
      break;
    }
    const size_t headerEnd = pos + headerSize;
    size_t p = pos + 8;
    ResourceEntry e;
    if (!readId(data, p, headerEnd, e.type) || !readId(data, p, headerEnd, e.name)) {
      intact_ = false;
      break;
    }
    p = align4(p);
    // DataVersion, MemoryFlags, LanguageId, Version, Characteristics.
    if (p + 16 <= headerEnd) {
      e.memoryFlags = read16(data + p + 4);
      e.language = read16(data + p + 6);
    }
    e.data = data + headerEnd;
    e.size = dataSize;
    const bool marker = e.type.isOrdinal() && e.type.ordinal == 0 && e.name.isOrdinal() && e.name.ordinal == 0;
    if (!marker) entries_.push_back(std::move(e));
    pos = align4(headerEnd + dataSize);
  }
}

const ResourceEntry* ResourceDirectory::find(const ResourceId& type, const ResourceId& name) const {
  for (const ResourceEntry& e : entries_)
    if (e.type.matches(type) && e.name.matches(name)) return &e;
  return nullptr;
}

bool ResourceDirectory::hasType(const ResourceId& type) const {
  for (const ResourceEntry& e : entries_)
    if (e.type.matches(type)) return true;
  return false;
}

bool ResourceDirectory::owns(const void* entry) const {
  auto* p = static_cast<const ResourceEntry*>(entry);
  for (const ResourceEntry& e : entries_)
    if (&e == p) return true;
  return false;
}

}  // namespace wince
