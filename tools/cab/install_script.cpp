// The .000's reader and writer: the header's counts and offsets, then each
// section's entries back to back, no padding.
#include "install_script.h"

#include <algorithm>
#include <set>

namespace cab {

namespace {

constexpr size_t kHeaderSize = 100;
constexpr uint32_t kSignature = 0x4543534D;  // "MSCE"

// --- writing ---------------------------------------------------------------

class Out {
 public:
  void u16(uint32_t v, const char* what) {
    if (v > 0xFFFF) throw FormatError(std::string(what) + " does not fit the install script (" + std::to_string(v) + ")");
    bytes_.push_back(static_cast<uint8_t>(v));
    bytes_.push_back(static_cast<uint8_t>(v >> 8));
  }
  void u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void raw(const std::vector<uint8_t>& b) { bytes_.insert(bytes_.end(), b.begin(), b.end()); }
  void put32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<uint8_t>(v >> (8 * i));
  }
  void put16(size_t at, size_t v, const char* what) {
    if (v > 0xFFFF) throw FormatError(std::string(what) + " lies past the first 64 KB of the install script");
    bytes_[at] = static_cast<uint8_t>(v);
    bytes_[at + 1] = static_cast<uint8_t>(v >> 8);
  }
  size_t size() const { return bytes_.size(); }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

// A text with its terminating NUL; a NUL inside would cut it short.
std::vector<uint8_t> cstring(const std::string& s) {
  if (s.find('\0') != std::string::npos) throw FormatError("a text of the install script holds a NUL character");
  std::vector<uint8_t> b(s.begin(), s.end());
  b.push_back(0);
  return b;
}

std::vector<uint8_t> idList(const std::vector<uint16_t>& ids) {
  std::vector<uint8_t> b;
  for (uint16_t id : ids) {
    if (id == 0) throw FormatError("a path of the install script names string 0, which ends a path");
    b.push_back(static_cast<uint8_t>(id));
    b.push_back(static_cast<uint8_t>(id >> 8));
  }
  b.push_back(0);
  b.push_back(0);
  return b;
}

void lengthAndBytes(Out& out, const std::vector<uint8_t>& b, const char* what) {
  out.u16(b.size(), what);
  out.raw(b);
}

// --- reading ---------------------------------------------------------------

class In {
 public:
  In(const uint8_t* data, size_t size, std::string section, size_t at)
      : data_(data), size_(size), section_(std::move(section)), at_(at) {}
  uint16_t u16() {
    need(2);
    uint16_t v = static_cast<uint16_t>(data_[at_] | data_[at_ + 1] << 8);
    at_ += 2;
    return v;
  }
  uint32_t u32() {
    need(4);
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(data_[at_ + i]) << (8 * i);
    at_ += 4;
    return v;
  }
  std::vector<uint8_t> bytes(size_t n) {
    need(n);
    std::vector<uint8_t> b(data_ + at_, data_ + at_ + n);
    at_ += n;
    return b;
  }

 private:
  void need(size_t n) {
    if (at_ > size_ || size_ - at_ < n) throw FormatError("the " + section_ + " section runs past the end of the file");
  }
  const uint8_t* data_;
  size_t size_;
  std::string section_;
  size_t at_;
};

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// A text stored with its NUL: the last byte is the only NUL.
std::string text(const std::vector<uint8_t>& b, const std::string& what) {
  if (b.empty() || b.back() != 0) throw FormatError(what + " has no terminating NUL");
  std::string s(b.begin(), b.end() - 1);
  if (s.find('\0') != std::string::npos) throw FormatError(what + " holds a NUL before its end");
  return s;
}

std::vector<uint16_t> ids(const std::vector<uint8_t>& b, const std::string& what) {
  if (b.size() < 2 || b.size() % 2 != 0 || b[b.size() - 1] != 0 || b[b.size() - 2] != 0)
    throw FormatError(what + " is not a list of string IDs ending in 0");
  std::vector<uint16_t> v;
  for (size_t i = 0; i + 2 < b.size(); i += 2) {
    uint16_t id = le16(&b[i]);
    if (id == 0) throw FormatError(what + " holds a 0 before its end");
    v.push_back(id);
  }
  return v;
}

template <class T>
void uniqueIds(const std::vector<T>& entries, const char* section) {
  std::set<uint16_t> seen;
  for (const T& e : entries) {
    if (e.id == 0) throw FormatError(std::string("an entry of the ") + section + " section has ID 0");
    if (!seen.insert(e.id).second)
      throw FormatError(std::string("two entries of the ") + section + " section have ID " + std::to_string(e.id));
  }
}

template <class T>
bool has(const std::vector<T>& entries, uint16_t id) {
  return std::any_of(entries.begin(), entries.end(), [id](const T& e) { return e.id == id; });
}

// A value's data as its type says: a DWORD is four bytes, a string ends in
// its NUL, a multi-string in an empty string.
void checkValueData(const InstallScript::Key& k) {
  const std::string what = "registry value " + std::to_string(k.id);
  const std::vector<uint8_t>& d = k.data;
  switch (k.type & kTypeMask) {
    case kTypeDword:
      if (d.size() != 4) throw FormatError(what + " is a DWORD of " + std::to_string(d.size()) + " bytes");
      break;
    case kTypeSz:
      text(d, what);
      break;
    case kTypeMultiSz:
      if (d.size() < 2 || d[d.size() - 1] != 0 || d[d.size() - 2] != 0)
        throw FormatError(what + " is a multi-string that does not end in an empty string");
      break;
    default:
      break;
  }
}

}  // namespace

std::vector<uint8_t> writeInstallScript(const InstallScript& s) {
  Out out;
  out.u32(kSignature);
  out.u32(0);
  out.u32(0);  // the file's length, filled in at the end
  out.u32(0);
  out.u32(1);
  out.u32(s.processor);
  for (uint32_t v : {s.minMajor, s.minMinor, s.maxMajor, s.maxMinor, s.minBuild, s.maxBuild}) out.u32(v);
  out.u16(s.strings.size(), "the number of strings");
  out.u16(s.dirs.size(), "the number of directories");
  out.u16(s.files.size(), "the number of files");
  out.u16(s.hives.size(), "the number of registry keys");
  out.u16(s.keys.size(), "the number of registry values");
  out.u16(s.links.size(), "the number of links");
  for (int i = 0; i < 6; ++i) out.u32(0);  // section offsets, filled in below
  for (int i = 0; i < 8; ++i) out.u16(0, "");  // name offsets and lengths, unknown words

  auto named = [&](size_t at, const std::vector<uint8_t>& b, const char* what) {
    if (b.empty()) return;
    out.put16(at, out.size(), what);
    out.put16(at + 2, b.size(), what);
    out.raw(b);
  };
  if (!s.appName.empty()) named(84, cstring(s.appName), "the application name");
  if (!s.provider.empty()) named(88, cstring(s.provider), "the provider name");
  if (!s.unsupported.empty()) {
    std::vector<uint8_t> multi;
    for (const std::string& p : s.unsupported) {
      std::vector<uint8_t> b = cstring(p);
      multi.insert(multi.end(), b.begin(), b.end());
    }
    multi.push_back(0);
    named(92, multi, "the unsupported platforms");
  }

  out.put32(60, static_cast<uint32_t>(out.size()));
  for (const auto& e : s.strings) {
    out.u16(e.id, "a string ID");
    lengthAndBytes(out, cstring(e.text), "a string's length");
  }
  out.put32(64, static_cast<uint32_t>(out.size()));
  for (const auto& e : s.dirs) {
    out.u16(e.id, "a directory ID");
    lengthAndBytes(out, idList(e.path), "a directory's length");
  }
  out.put32(68, static_cast<uint32_t>(out.size()));
  for (const auto& e : s.files) {
    out.u16(e.id, "a file ID");
    out.u16(e.dir, "a directory ID");
    out.u16(e.unknown, "");
    out.u32(e.flags);
    lengthAndBytes(out, cstring(e.name), "a file name's length");
  }
  out.put32(72, static_cast<uint32_t>(out.size()));
  for (const auto& e : s.hives) {
    out.u16(e.id, "a registry key ID");
    out.u16(e.root, "a registry root");
    out.u16(e.unknown, "");
    lengthAndBytes(out, idList(e.path), "a registry key's length");
  }
  out.put32(76, static_cast<uint32_t>(out.size()));
  for (const auto& e : s.keys) {
    out.u16(e.id, "a registry value ID");
    out.u16(e.hive, "a registry key ID");
    out.u16(e.substitute, "");
    out.u32(e.type);
    std::vector<uint8_t> b = cstring(e.name);
    b.insert(b.end(), e.data.begin(), e.data.end());
    lengthAndBytes(out, b, "a registry value's length");
  }
  out.put32(80, static_cast<uint32_t>(out.size()));
  for (const auto& e : s.links) {
    out.u16(e.id, "a link ID");
    out.u16(e.unknown, "");
    out.u16(e.base, "a link's base");
    out.u16(e.target, "a link's target");
    out.u16(e.type, "a link's type");
    lengthAndBytes(out, idList(e.path), "a link's length");
  }
  out.put32(8, static_cast<uint32_t>(out.size()));
  return std::move(out.bytes());
}

InstallScript readInstallScript(const uint8_t* data, size_t size) {
  if (size < kHeaderSize) throw FormatError("it is " + std::to_string(size) + " bytes, shorter than the header's 100");
  if (le32(data) != kSignature) throw FormatError("it does not start with the MSCE signature");
  if (le32(data + 8) != size)
    throw FormatError("its header gives its length as " + std::to_string(le32(data + 8)) + " bytes, it is " +
                      std::to_string(size));
  InstallScript s;
  s.processor = le32(data + 20);
  uint32_t* versions[] = {&s.minMajor, &s.minMinor, &s.maxMajor, &s.maxMinor, &s.minBuild, &s.maxBuild};
  for (int i = 0; i < 6; ++i) *versions[i] = le32(data + 24 + 4 * i);

  auto named = [&](size_t at, const char* what) -> std::vector<uint8_t> {
    size_t offset = le16(data + at), length = le16(data + at + 2);
    if (length == 0) return {};
    return In(data, size, what, offset).bytes(length);
  };
  std::vector<uint8_t> app = named(84, "APPNAME"), provider = named(88, "PROVIDER"),
                       unsupported = named(92, "UNSUPPORTED");
  if (!app.empty()) s.appName = text(app, "the application name");
  if (!provider.empty()) s.provider = text(provider, "the provider name");
  if (!unsupported.empty()) {
    if (unsupported.size() < 2 || unsupported.back() != 0 || unsupported[unsupported.size() - 2] != 0)
      throw FormatError("the unsupported platforms do not end in an empty string");
    for (size_t start = 0; start + 1 < unsupported.size();) {
      size_t end = start;
      while (unsupported[end] != 0) ++end;
      s.unsupported.emplace_back(unsupported.begin() + start, unsupported.begin() + end);
      start = end + 1;
    }
  }

  auto section = [&](int index, const char* name) {
    return In(data, size, name, le32(data + 60 + 4 * index));
  };
  const size_t count[6] = {le16(data + 48), le16(data + 50), le16(data + 52),
                           le16(data + 54), le16(data + 56), le16(data + 58)};
  In strings = section(0, "STRINGS");
  for (size_t i = 0; i < count[0]; ++i) {
    InstallScript::String e;
    e.id = strings.u16();
    e.text = text(strings.bytes(strings.u16()), "string " + std::to_string(e.id));
    s.strings.push_back(std::move(e));
  }
  In dirs = section(1, "DIRS");
  for (size_t i = 0; i < count[1]; ++i) {
    InstallScript::Dir e;
    e.id = dirs.u16();
    e.path = ids(dirs.bytes(dirs.u16()), "directory " + std::to_string(e.id));
    s.dirs.push_back(std::move(e));
  }
  In files = section(2, "FILES");
  for (size_t i = 0; i < count[2]; ++i) {
    InstallScript::File e;
    e.id = files.u16();
    e.dir = files.u16();
    e.unknown = files.u16();
    e.flags = files.u32();
    e.name = text(files.bytes(files.u16()), "the name of file " + std::to_string(e.id));
    s.files.push_back(std::move(e));
  }
  In hives = section(3, "REGHIVES");
  for (size_t i = 0; i < count[3]; ++i) {
    InstallScript::Hive e;
    e.id = hives.u16();
    e.root = hives.u16();
    e.unknown = hives.u16();
    e.path = ids(hives.bytes(hives.u16()), "registry key " + std::to_string(e.id));
    s.hives.push_back(std::move(e));
  }
  In keys = section(4, "REGKEYS");
  for (size_t i = 0; i < count[4]; ++i) {
    InstallScript::Key e;
    e.id = keys.u16();
    e.hive = keys.u16();
    e.substitute = keys.u16();
    e.type = keys.u32();
    std::vector<uint8_t> b = keys.bytes(keys.u16());
    auto nul = std::find(b.begin(), b.end(), 0);
    if (nul == b.end()) throw FormatError("the name of registry value " + std::to_string(e.id) + " has no terminating NUL");
    e.name.assign(b.begin(), nul);
    e.data.assign(nul + 1, b.end());
    s.keys.push_back(std::move(e));
  }
  In links = section(5, "LINKS");
  for (size_t i = 0; i < count[5]; ++i) {
    InstallScript::Link e;
    e.id = links.u16();
    e.unknown = links.u16();
    e.base = links.u16();
    e.target = links.u16();
    e.type = links.u16();
    e.path = ids(links.bytes(links.u16()), "link " + std::to_string(e.id));
    s.links.push_back(std::move(e));
  }

  // Every ID once per section, every reference to something that is there.
  uniqueIds(s.strings, "STRINGS");
  uniqueIds(s.dirs, "DIRS");
  uniqueIds(s.files, "FILES");
  uniqueIds(s.hives, "REGHIVES");
  uniqueIds(s.keys, "REGKEYS");
  uniqueIds(s.links, "LINKS");
  auto strings_of = [&](const std::vector<uint16_t>& path, const std::string& what) {
    for (uint16_t id : path)
      if (!has(s.strings, id)) throw FormatError(what + " names string " + std::to_string(id) + ", which is not there");
  };
  for (const auto& d : s.dirs) strings_of(d.path, "directory " + std::to_string(d.id));
  for (const auto& h : s.hives) {
    strings_of(h.path, "registry key " + std::to_string(h.id));
    if (h.root < kHkcr || h.root > kHku)
      throw FormatError("registry key " + std::to_string(h.id) + " has root " + std::to_string(h.root) + ", not 1 to 4");
  }
  for (const auto& f : s.files)
    if (!has(s.dirs, f.dir))
      throw FormatError("file " + std::to_string(f.id) + " goes to directory " + std::to_string(f.dir) +
                        ", which is not there");
  for (const auto& k : s.keys) {
    if (!has(s.hives, k.hive))
      throw FormatError("registry value " + std::to_string(k.id) + " belongs to key " + std::to_string(k.hive) +
                        ", which is not there");
    checkValueData(k);
  }
  for (const auto& l : s.links) {
    strings_of(l.path, "link " + std::to_string(l.id));
    if (l.base > 17) throw FormatError("link " + std::to_string(l.id) + " has base folder " + std::to_string(l.base));
    bool found = l.type == 1 ? has(s.files, l.target) : l.type == 0 && (l.target == 0 || has(s.dirs, l.target));
    if (!found) throw FormatError("link " + std::to_string(l.id) + " points to nothing that is there");
  }
  return s;
}

std::string joinPath(const InstallScript& script, const std::vector<uint16_t>& path) {
  std::string joined;
  for (uint16_t id : path) {
    auto it = std::find_if(script.strings.begin(), script.strings.end(),
                           [id](const InstallScript::String& e) { return e.id == id; });
    if (!joined.empty()) joined += '\\';
    if (it != script.strings.end()) joined += it->text;
  }
  return joined;
}

}  // namespace cab
