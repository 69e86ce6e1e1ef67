// The registry file: REGEDIT5 text, as the desktop's registry editor writes
// it. Values are written so that reading the file back gives the very same
// type and bytes: only a REG_SZ that is exactly one terminated string of
// printable text is written as "text", only a 4-byte REG_DWORD as dword:;
// everything else is written as hex bytes. The journal's records use the
// same words, one change a line.
#include <algorithm>
#include <cstdio>
#include <string_view>

#include "device.h"
#include "device_error.h"
#include "registry/tree.h"

namespace wince {

namespace {

const char kHeader[] = "Windows Registry Editor Version 5.00";

// ---------------------------------------------------------------------------
// Writing.

std::string quote(const std::u16string& s) {
  std::string out = "\"";
  for (char c : narrow(s)) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      // Not REGEDIT5 proper, but a name with a line break must stay on its line.
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out + "\"";
}

// The text of a REG_SZ whose bytes are exactly that text and one terminator,
// when writing it as "text" gives back the same bytes.
bool plainText(const std::vector<uint8_t>& data, std::u16string& text) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  const size_t units = data.size() / 2;
  text.clear();
  for (size_t i = 0; i < units; ++i) text += static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  if (text.back() != 0) return false;
  text.pop_back();
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c < 0x20 || c == 0x7F) return false;
    if (c >= 0xD800 && c < 0xDC00) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] >= 0xE000) return false;
      ++i;
    } else if (c >= 0xDC00 && c < 0xE000) {
      return false;
    }
  }
  return true;
}

void appendHex(std::string& out, const std::string& prefix, const std::vector<uint8_t>& data, bool wrap) {
  // Lines stay within 80 columns; a trailing backslash continues the value.
  // Written in place: two digits and a comma a byte, and at most one line
  // break for every 25 bytes and one more.
  static constexpr char kDigits[] = "0123456789abcdef";
  const size_t start = out.size();
  out.resize(start + prefix.size() + data.size() * 3 + (wrap ? (data.size() / 25 + 2) * 4 : 0) + 1);
  char* p = std::copy(prefix.begin(), prefix.end(), out.data() + start);
  size_t column = prefix.size();
  for (size_t i = 0; i < data.size(); ++i) {
    if (wrap && i > 0 && column + 3 > 78) {
      p = std::copy_n("\\\n  ", 4, p);
      column = 2;
    }
    *p++ = kDigits[data[i] >> 4];
    *p++ = kDigits[data[i] & 0xF];
    column += 2;
    if (i + 1 < data.size()) {
      *p++ = ',';
      ++column;
    }
  }
  *p++ = '\n';
  out.resize(static_cast<size_t>(p - out.data()));
}

// The value's line; `wrap` continues long hex data over more lines.
void appendValue(std::string& out, const RegValue& v, bool wrap = true) {
  std::string lead = (v.name.empty() ? std::string("@") : quote(v.name)) + "=";
  std::u16string text;
  if (v.type == REG_SZ && plainText(v.data, text)) {
    out += lead + quote(text) + "\n";
  } else if (v.type == REG_DWORD && v.data.size() == 4) {
    char buf[16];
    unsigned d = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (static_cast<unsigned>(v.data[3]) << 24);
    std::snprintf(buf, sizeof buf, "dword:%08x", d);
    out += lead + buf + "\n";
  } else if (v.type == REG_BINARY) {
    appendHex(out, lead + "hex:", v.data, wrap);
  } else {
    char buf[24];
    std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
    appendHex(out, lead + buf, v.data, wrap);
  }
}

// A root and the keys below it, depth first in enumeration order, without
// recursion. A key is listed with its values, and an empty key that has no
// subkeys is listed on its own, since its existence is all there is to
// say; a key with subkeys and no values needs no line, because reading a
// key line makes every key of its path. So the text grows with the number
// of keys listed, not with their depth. A root is listed only for its values.
void appendTree(std::string& out, const RegKey& root, const char* rootName) {
  struct Frame {
    const RegKey* key;
    std::map<std::u16string, std::shared_ptr<RegKey>>::const_iterator next;
    size_t pathSize;
  };
  std::string path = rootName;
  std::vector<Frame> stack;
  auto enter = [&](const RegKey& k, bool isRoot) {
    if (!k.values.empty() || (!isRoot && k.subkeys.empty())) {
      out += "\n[" + path + "]\n";
      for (const auto& [_, v] : k.values) appendValue(out, v);
    }
    stack.push_back({&k, k.subkeys.begin(), path.size()});
  };
  enter(root, true);
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next == top.key->subkeys.end()) {
      stack.pop_back();
      continue;
    }
    const RegKey& sub = *(top.next++)->second;
    path.resize(top.pathSize);
    path += '\\';
    path += narrow(sub.name);
    enter(sub, false);
  }
}

// ---------------------------------------------------------------------------
// Reading.

class Parser {
 public:
  Parser(const std::string& source, std::shared_ptr<RegKey> (&roots)[3]) : source_(source), roots_(roots) {}

  void run(const std::string& text);
  // The journal: whole lines only.
  void runJournal(const std::string& text);

 private:
  [[noreturn]] void fail(const std::string& expected) const {
    throw DeviceError(source_ + ": line " + std::to_string(line_) + ": " + expected);
  }
  // The key a path in a key line names ("HKEY_LOCAL_MACHINE\\SOFTWARE"):
  // made when `make`, else null when missing.
  std::shared_ptr<RegKey> keyOf(const std::string& path, bool make);
  void keyLine(std::string_view s);
  void valueLine(std::string_view s);
  void record(std::string_view s);
  std::u16string quoted(std::string_view& s);
  std::vector<uint8_t> hexBytes(std::string_view s);

  const std::string& source_;
  std::shared_ptr<RegKey> (&roots_)[3];
  std::shared_ptr<RegKey> key_;
  size_t line_ = 0;
};

std::string_view trimLeft(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

std::string_view trimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool validUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || i + extra >= s.size()) return false;
    for (int k = 1; k <= extra; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += extra + 1;
  }
  return true;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// `minDigits` to 8 hex digits, the whole of s.
bool parseHex32(std::string_view s, DWORD& out, size_t minDigits = 1) {
  if (s.size() < minDigits || s.size() > 8) return false;
  out = 0;
  for (char c : s) {
    int d = hexDigit(c);
    if (d < 0) return false;
    out = (out << 4) | static_cast<DWORD>(d);
  }
  return true;
}

void Parser::run(const std::string& text) {
  std::vector<std::string_view> lines;
  std::string_view all(text);
  while (!all.empty()) {
    size_t nl = all.find('\n');
    lines.push_back(all.substr(0, nl));
    all = nl == std::string_view::npos ? std::string_view() : all.substr(nl + 1);
  }
  size_t i = 0;
  line_ = 1;
  if (lines.empty() || trimRight(lines[0]) != kHeader) fail(std::string("expected \"") + kHeader + "\"");
  for (i = 1; i < lines.size(); ++i) {
    line_ = i + 1;
    std::string_view s = trimRight(trimLeft(lines[i]));
    if (!validUtf8(s)) fail("expected UTF-8 text");
    if (s.empty() || s.front() == ';') continue;
    if (s.front() == '[') {
      keyLine(s);
    } else if (s.front() == '"' || s.front() == '@') {
      // Hex data may continue over the following lines, each but the last
      // ending with a backslash.
      std::string joined(s);
      size_t eq = joined.find("=hex");
      size_t start = line_;
      while (eq != std::string::npos && !joined.empty() && joined.back() == '\\' && i + 1 < lines.size()) {
        joined.pop_back();
        std::string_view next = trimRight(trimLeft(lines[++i]));
        if (!validUtf8(next)) {
          line_ = i + 1;
          fail("expected UTF-8 text");
        }
        joined += next;
      }
      line_ = start;
      valueLine(joined);
    } else {
      fail("expected a [key] line, a \"name\"= or @= value line, or a blank line");
    }
  }
}

std::shared_ptr<RegKey> Parser::keyOf(const std::string& path, bool make) {
  size_t cut = path.find('\\');
  const RegRoot* root = findRoot(path.substr(0, cut));
  if (!root) fail("expected a key path beginning HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT or HKEY_CURRENT_USER");
  std::shared_ptr<RegKey> k = roots_[root - kRegRoots];
  if (cut == std::string::npos) return k;
  std::vector<std::u16string> parts;
  std::u16string sub = widen(path.substr(cut + 1));
  if (RegistryStore::Impl::splitPath(sub.c_str(), parts) != ERROR_SUCCESS || parts.empty())
    fail("expected at most " + std::to_string(kMaxKeyDepth) + " key names below the root, each of 1 to " +
         std::to_string(kMaxKeyName) + " printable characters, separated by single backslashes");
  if (make) return RegistryStore::Impl::makePath(k, parts, nullptr);
  for (const auto& part : parts) {
    auto it = k->subkeys.find(foldName(part));
    if (it == k->subkeys.end()) return nullptr;
    k = it->second;
  }
  return k;
}

void Parser::keyLine(std::string_view s) {
  if (s.back() != ']') fail("expected ']' at the end of the key line");
  key_ = keyOf(std::string(s.substr(1, s.size() - 2)), true);
}

void Parser::runJournal(const std::string& text) {
  size_t start = 0;
  for (line_ = 1;; ++line_) {
    const size_t end = text.find('\n', start);
    if (end == std::string::npos) return;  // a change that was never finished
    std::string_view s(text.data() + start, end - start);
    start = end + 1;
    if (!validUtf8(s)) fail("expected UTF-8 text");
    record(s);
  }
}

void Parser::record(std::string_view s) {
  const size_t tab = s.find('\t');
  std::string_view key = s.substr(0, tab);
  if (key.size() < 2 || key.front() != '[' || key.back() != ']')
    fail("expected a change: [KEY], [-KEY], [KEY] and a tab and \"NAME\"=DATA or \"NAME\"=-");
  if (key[1] == '-') {
    if (tab != std::string_view::npos) fail("expected the end of the line after a deleted key");
    std::shared_ptr<RegKey> k = keyOf(std::string(key.substr(2, key.size() - 3)), false);
    if (k && !k->parent) fail("expected a key below a root (a root key cannot be deleted)");
    if (k) k->parent->subkeys.erase(foldName(k->name));
    return;
  }
  const std::string path(key.substr(1, key.size() - 2));
  if (tab == std::string_view::npos) {
    keyOf(path, true);
    return;
  }
  std::string_view value = s.substr(tab + 1);
  if (value.ends_with("=-")) {
    // A deleted value: its key is left as it is, or missing.
    std::string_view rest = value;
    std::u16string name;
    if (!rest.empty() && rest.front() == '@') {
      rest.remove_prefix(1);
    } else if (!rest.empty() && rest.front() == '"') {
      name = quoted(rest);
    } else {
      fail("expected \"NAME\" or @ after the tab");
    }
    if (rest != "=-") fail("expected =- after the deleted value's name");
    if (std::shared_ptr<RegKey> k = keyOf(path, false)) k->values.erase(foldName(name));
    return;
  }
  key_ = keyOf(path, true);
  if (value.empty() || (value.front() != '"' && value.front() != '@')) fail("expected \"NAME\" or @ after the tab");
  valueLine(value);
}

std::u16string Parser::quoted(std::string_view& s) {
  // s starts at the opening quote; on return it follows the closing one.
  std::string out;
  size_t i = 1;
  for (;; ++i) {
    if (i >= s.size()) fail("expected a closing quote");
    char c = s[i];
    if (c == '"') break;
    if (c == '\\') {
      if (++i >= s.size()) fail("expected a closing quote");
      switch (s[i]) {
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        default: fail("expected \\\\ or \\\" after a backslash inside quotes");
      }
    } else {
      out += c;
    }
  }
  s.remove_prefix(i + 1);
  return widen(out);
}

std::vector<uint8_t> Parser::hexBytes(std::string_view s) {
  std::vector<uint8_t> out;
  s = trimLeft(s);
  if (s.empty()) return out;
  for (;;) {
    s = trimLeft(s);
    if (s.size() < 2 || hexDigit(s[0]) < 0 || hexDigit(s[1]) < 0)
      fail("expected hex bytes of two digits separated by commas");
    out.push_back(static_cast<uint8_t>(hexDigit(s[0]) << 4 | hexDigit(s[1])));
    s = trimLeft(s.substr(2));
    if (s.empty()) return out;
    if (s.front() != ',') fail("expected hex bytes of two digits separated by commas");
    s.remove_prefix(1);
    // A comma is always followed by a byte: data ending in one was cut short.
    if (trimLeft(s).empty()) fail("expected another hex byte after the last comma");
  }
}

void Parser::valueLine(std::string_view s) {
  if (!key_) fail("expected a [key] line before the first value");
  std::u16string name;
  if (s.front() == '@') {
    s.remove_prefix(1);
  } else {
    name = quoted(s);
  }
  s = trimLeft(s);
  if (s.empty() || s.front() != '=') fail("expected '=' after the value name");
  s = trimLeft(s.substr(1));

  RegValue v;
  v.name = name;
  if (!s.empty() && s.front() == '"') {
    std::u16string text = quoted(s);
    if (!trimLeft(s).empty()) fail("expected the end of the line after the closing quote");
    v.type = REG_SZ;
    v.data = RegistryStore::stringBytes(text);
  } else if (s.starts_with("dword:")) {
    DWORD d;
    if (!parseHex32(s.substr(6), d, 8)) fail("expected 8 hex digits after dword:");
    v.type = REG_DWORD;
    v.data = RegistryStore::dwordBytes(d);
  } else if (s.starts_with("hex:")) {
    v.type = REG_BINARY;
    v.data = hexBytes(s.substr(4));
  } else if (s.starts_with("hex(")) {
    size_t close = s.find("):");
    DWORD type;
    if (close == std::string_view::npos || !parseHex32(s.substr(4, close - 4), type))
      fail("expected a type of 1 to 8 hex digits in hex(N):");
    v.type = type;
    v.data = hexBytes(s.substr(close + 2));
  } else {
    fail("expected \"text\", dword:, hex: or hex(N): after '='");
  }
  key_->values[foldName(name)] = std::move(v);
}

}  // namespace

std::string formatRegText(const std::shared_ptr<RegKey> (&roots)[3]) {
  std::string out = std::string(kHeader) + "\n";
  for (int i = 0; i < 3; ++i) appendTree(out, *roots[i], kRegRoots[i].name);
  return out;
}

std::string keyRecord(const RegKey& key, bool deleted) {
  return (deleted ? "[-" : "[") + key.pathText() + "]\n";
}

std::string valueRecord(const RegKey& key, const RegValue& value) {
  std::string out = "[" + key.pathText() + "]\t";
  appendValue(out, value, false);
  return out;
}

std::string valueDeletedRecord(const RegKey& key, const std::u16string& name) {
  return "[" + key.pathText() + "]\t" + (name.empty() ? std::string("@") : quote(name)) + "=-\n";
}

void replayJournal(const std::string& text, const std::string& source, std::shared_ptr<RegKey> (&roots)[3]) {
  Parser(source, roots).runJournal(text);
}

void parseRegText(const std::string& bytes, const std::string& source, std::shared_ptr<RegKey> (&roots)[3]) {
  std::string text;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    if (bytes.size() % 2 != 0)
      throw DeviceError(source + ": line 1: expected UTF-16LE text of an even number of bytes");
    std::u16string w;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
      w += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    text = narrow(w);
  } else if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    text = bytes.substr(3);
  } else {
    text = bytes;
  }
  Parser(source, roots).run(text);
}

}  // namespace wince
