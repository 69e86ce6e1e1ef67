// The .inf reader: sections of lines, each line comma-separated fields
// (quotes keep commas and spaces; "" inside quotes is one quote; ';' outside
// quotes starts a comment), then the CE sections read into a Package.
#include "inf.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <sstream>

namespace cab {

namespace {

struct InfLine {
  int number = 0;
  std::string key;                  // before '=', or empty
  std::vector<std::string> fields;  // after '=' (or the whole line)
};

std::string folded(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

std::string trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t"), b = s.find_last_not_of(" \t");
  return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

class Reader {
 public:
  Reader(const std::string& text, std::string source) : source_(std::move(source)) { parse(text); }

  [[noreturn]] void fail(int line, const std::string& what) const {
    throw FormatError(source_ + (line ? ":" + std::to_string(line) : "") + ": " + what);
  }

  const std::vector<InfLine>* section(const std::string& name) const {
    auto it = sections_.find(folded(name));
    return it == sections_.end() ? nullptr : &it->second;
  }
  const std::vector<InfLine>& need(const std::string& name) const {
    if (auto* s = section(name)) return *s;
    fail(0, "no [" + name + "] section");
  }
  // The first field of KEY in SECTION, or null.
  const InfLine* entry(const std::string& sectionName, const std::string& key) const {
    if (auto* s = section(sectionName))
      for (const InfLine& l : *s)
        if (folded(l.key) == folded(key)) return &l;
    return nullptr;
  }
  std::string value(const std::string& sectionName, const std::string& key, bool required) const {
    const InfLine* l = entry(sectionName, key);
    if (!l || l->fields.empty() || l->fields[0].empty()) {
      if (required) fail(l ? l->number : 0, "[" + sectionName + "] has no " + key);
      return "";
    }
    return l->fields[0];
  }

  // %name% from [Strings] and [CEStrings]; %CEn% and %InstallDir% are kept.
  std::string expand(const std::string& text, int line, int depth = 0) const {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] != '%') {
        out += text[i];
        continue;
      }
      size_t end = text.find('%', i + 1);
      if (end == std::string::npos) fail(line, "a % without its closing % in \"" + text + "\"");
      std::string name = text.substr(i + 1, end - i - 1);
      std::string f = folded(name);
      if (name.empty()) {
        out += '%';
      } else if (f == "installdir" || (f.size() > 2 && f.compare(0, 2, "ce") == 0 &&
                                       std::all_of(f.begin() + 2, f.end(), [](unsigned char c) { return std::isdigit(c); }))) {
        out += "%" + name + "%";
      } else {
        const InfLine* s = entry("CEStrings", name);
        if (!s) s = entry("Strings", name);
        if (!s || s->fields.empty()) fail(line, "%" + name + "% is in neither [Strings] nor [CEStrings]");
        if (depth > 8) fail(line, "%" + name + "% refers to itself");
        out += expand(s->fields[0], line, depth + 1);
      }
      i = end;
    }
    return out;
  }

 private:
  void parse(const std::string& text) {
    std::istringstream in(text);
    std::vector<InfLine>* current = nullptr;
    int number = 0;
    for (std::string raw; std::getline(in, raw);) {
      ++number;
      if (!raw.empty() && raw.back() == '\r') raw.pop_back();
      std::string line = trim(raw);
      if (line.empty() || line[0] == ';') continue;
      if (line[0] == '[') {
        size_t close = line.find(']');
        if (close == std::string::npos) fail(number, "a section name without its ]");
        current = &sections_[folded(trim(line.substr(1, close - 1)))];
        continue;
      }
      if (!current) fail(number, "a line before the first section");
      current->push_back(split(line, number));
    }
  }

  // KEY = FIELD, FIELD ... with quotes and comments.
  InfLine split(const std::string& line, int number) const {
    InfLine l;
    l.number = number;
    std::string field;
    bool quoted = false, haveKey = false;
    // Spaces around a field go, spaces inside its quoted parts stay.
    size_t firstQuoted = std::string::npos, lastQuoted = 0;
    auto finish = [&] {
      const bool anyQuoted = firstQuoted != std::string::npos;
      size_t a = 0, b = field.size();
      while (a < (anyQuoted ? firstQuoted : b) && (field[a] == ' ' || field[a] == '\t')) ++a;
      while (b > (anyQuoted ? lastQuoted + 1 : a) && (field[b - 1] == ' ' || field[b - 1] == '\t')) --b;
      l.fields.push_back(field.substr(a, b - a));
      field.clear();
      firstQuoted = std::string::npos;
      lastQuoted = 0;
    };
    auto keep = [&](char c) {
      if (firstQuoted == std::string::npos) firstQuoted = field.size();
      lastQuoted = field.size();
      field += c;
    };
    for (size_t i = 0; i < line.size(); ++i) {
      char c = line[i];
      if (quoted) {
        if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
          keep('"');
          ++i;
        } else if (c == '"') {
          quoted = false;
        } else {
          keep(c);
        }
      } else if (c == '"') {
        quoted = true;  // Items\"WMP Crestune": the quotes go, the text stays
      } else if (c == ';') {
        break;
      } else if (c == '=' && !haveKey && l.fields.empty()) {
        l.key = trim(field);
        field.clear();
        firstQuoted = std::string::npos;
        haveKey = true;
      } else if (c == ',') {
        finish();
      } else {
        field += c;
      }
    }
    if (quoted) fail(number, "a quote without its closing quote");
    finish();
    if (!haveKey && l.fields.size() == 1 && l.fields[0].empty()) l.fields.clear();
    return l;
  }

  std::string source_;
  std::map<std::string, std::vector<InfLine>> sections_;
};

// Decimal or 0x hex, within 32 bits.
bool number(const std::string& text, uint32_t& out) {
  std::string t = folded(trim(text));
  bool hex = t.size() > 2 && t[0] == '0' && t[1] == 'x';
  std::string digits = hex ? t.substr(2) : t;
  if (digits.empty() || digits.size() > (hex ? 8u : 10u) ||
      digits.find_first_not_of(hex ? "0123456789abcdef" : "0123456789") != std::string::npos)
    return false;
  unsigned long long v = std::stoull(digits, nullptr, hex ? 16 : 10);
  if (v > 0xFFFFFFFFull) return false;
  out = static_cast<uint32_t>(v);
  return true;
}

// "3.0" or "5.99" as its major and minor numbers.
bool version(const std::string& text, uint32_t& major, uint32_t& minor) {
  size_t dot = text.find('.');
  if (dot == std::string::npos) return number(text, major) && ((minor = 0), true);
  return number(text.substr(0, dot), major) && number(text.substr(dot + 1), minor);
}

bool holdsFolderMacro(const std::string& s) {
  std::string f = folded(s);
  return f.find("%installdir%") != std::string::npos || f.find("%ce") != std::string::npos;
}

}  // namespace

Inf readInf(const std::string& text, const std::string& source) {
  Reader r(text, source);
  Inf inf;
  Package& p = inf.package;
  r.need("Version");
  if (r.value("Version", "Signature", true) != "$Windows NT$")
    r.fail(r.entry("Version", "Signature")->number, "[Version] Signature is not \"$Windows NT$\"");
  if (r.value("Version", "CESignature", true) != "$Windows CE$")
    r.fail(r.entry("Version", "CESignature")->number, "[Version] CESignature is not \"$Windows CE$\"");
  p.provider = r.expand(r.value("Version", "Provider", true), r.entry("Version", "Provider")->number);
  p.appName = r.expand(r.value("CEStrings", "AppName", true), r.entry("CEStrings", "AppName")->number);
  p.installDir = r.expand(r.value("CEStrings", "InstallDir", true), r.entry("CEStrings", "InstallDir")->number);

  // Which devices: the processor and the Windows CE versions.
  auto deviceNumber = [&](const char* key, uint32_t& out) {
    if (const InfLine* l = r.entry("CEDevice", key))
      if (l->fields.empty() || !number(l->fields[0], out)) r.fail(l->number, std::string(key) + " is not a number");
  };
  deviceNumber("ProcessorType", p.processor);
  deviceNumber("BuildMin", p.minBuild);
  deviceNumber("BuildMax", p.maxBuild);
  for (auto [key, major, minor] : {std::tuple{"VersionMin", &p.minMajor, &p.minMinor},
                                   std::tuple{"VersionMax", &p.maxMajor, &p.maxMinor}})
    if (const InfLine* l = r.entry("CEDevice", key))
      if (l->fields.empty() || !version(l->fields[0], *major, *minor))
        r.fail(l->number, std::string(key) + " is not a version such as 3.0");
  if (const InfLine* l = r.entry("CEDevice", "UnsupportedPlatforms"))
    for (const std::string& f : l->fields) p.unsupported.push_back(r.expand(f, l->number));

  // Where the source files are.
  std::map<std::string, std::string> disks;
  if (auto* names = r.section("SourceDisksNames"))
    for (const InfLine& l : *names) disks[l.key] = l.fields.size() > 3 ? r.expand(l.fields[3], l.number) : "";
  auto sourceOf = [&](const std::string& name, int line) {
    const InfLine* l = r.entry("SourceDisksFiles", name);
    if (!l || l->fields.empty()) r.fail(line, name + " is not in [SourceDisksFiles]");
    auto disk = disks.find(l->fields[0]);
    if (disk == disks.end()) r.fail(l->number, name + " is on disk " + l->fields[0] + ", not in [SourceDisksNames]");
    return disk->second;
  };

  if (r.value("DefaultInstall", "CEShortcuts", false) != "")
    r.fail(r.entry("DefaultInstall", "CEShortcuts")->number, "shortcuts (CEShortcuts) are not supported");
  std::string setup = r.value("DefaultInstall", "CESetupDLL", false);

  // The files, numbered from 1 in the order their lists name them.
  if (const InfLine* copy = r.entry("DefaultInstall", "CopyFiles")) {
    for (const std::string& listName : copy->fields) {
      const auto& list = r.need(listName);
      const InfLine* dest = r.entry("DestinationDirs", listName);
      if (!dest) dest = r.entry("DestinationDirs", "DefaultDestDir");
      if (!dest || dest->fields.size() < 2) r.fail(copy->number, "[DestinationDirs] gives no folder for " + listName);
      std::string folder = r.expand(dest->fields[1], dest->number);
      if (folded(folder).rfind("%installdir%", 0) == 0) folder = p.installDir + folder.substr(12);
      for (const InfLine& l : list) {
        if (l.fields.empty() || !l.key.empty()) r.fail(l.number, "a file list line is DESTINATION[,SOURCE,,FLAGS]");
        std::string target = r.expand(l.fields[0], l.number);
        std::string from = l.fields.size() > 1 && !l.fields[1].empty() ? r.expand(l.fields[1], l.number) : target;
        uint32_t flags = 0;
        if (l.fields.size() > 3 && !l.fields[3].empty() && !number(l.fields[3], flags))
          r.fail(l.number, "the flags of " + target + " are not a number");
        const unsigned n = static_cast<unsigned>(p.files.size() + 1);
        if (n >= 999) r.fail(l.number, "more than 998 files");
        p.files.push_back({static_cast<uint16_t>(n), folder, target, flags});
        inf.sources.push_back({n, from, sourceOf(from, l.number)});
      }
    }
  }
  if (!setup.empty()) inf.sources.push_back({999, setup, sourceOf(setup, r.entry("DefaultInstall", "CESetupDLL")->number)});

  // The registry values: ROOT,KEY,NAME,FLAGS,VALUE...
  if (const InfLine* add = r.entry("DefaultInstall", "AddReg")) {
    for (const std::string& listName : add->fields) {
      for (const InfLine& l : r.need(listName)) {
        if (l.fields.size() < 4 || !l.key.empty()) r.fail(l.number, "a registry line is ROOT,KEY,NAME,FLAGS,VALUE");
        Package::Value v;
        v.root = rootOf(l.fields[0]);
        if (!v.root) r.fail(l.number, l.fields[0] + " is not HKCR, HKCU, HKLM or HKU");
        v.key = r.expand(l.fields[1], l.number);
        v.name = r.expand(l.fields[2], l.number);
        if (!number(l.fields[3], v.type) || (v.type & ~(kTypeMask | kNoClobber)))
          r.fail(l.number, "the flags " + l.fields[3] + " are no registry type this package can hold");
        std::vector<std::string> data;
        for (size_t i = 4; i < l.fields.size(); ++i) data.push_back(r.expand(l.fields[i], l.number));
        switch (v.type & kTypeMask) {
          case kTypeDword: {
            uint32_t d = 0;
            if (data.size() != 1 || !number(data[0], d)) r.fail(l.number, v.name + " is a DWORD without a number");
            for (int i = 0; i < 4; ++i) v.data.push_back(static_cast<uint8_t>(d >> (8 * i)));
            break;
          }
          case kTypeBinary:
            for (const std::string& b : data) {
              uint32_t byte = 0;
              if (!number("0x" + b, byte) || byte > 0xFF) r.fail(l.number, b + " is not a byte in hex");
              v.data.push_back(static_cast<uint8_t>(byte));
            }
            break;
          default:  // a string, or one string a field
            if ((v.type & kTypeMask) == kTypeSz && data.size() > 1) r.fail(l.number, v.name + " is a string of one field");
            for (const std::string& s : data) {
              v.substitute = v.substitute || holdsFolderMacro(s);
              v.data.insert(v.data.end(), s.begin(), s.end());
              v.data.push_back(0);
            }
            if (data.empty()) v.data.push_back(0);
            if ((v.type & kTypeMask) == kTypeMultiSz) v.data.push_back(0);
        }
        p.values.push_back(std::move(v));
      }
    }
  }
  return inf;
}

}  // namespace cab
