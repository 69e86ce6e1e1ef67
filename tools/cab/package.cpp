// Numbering a package into its install script and reading it back, the
// Pocket PC's standard folders, and the CAB members' 8.3 names.
#include "package.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace cab {

namespace {

// The %CEn% folders of a Pocket PC (Windows CE 3.0); the ones it does not
// have are empty.
const char* const kCeFolders[18] = {
    nullptr,
    "\\Program Files",
    "\\Windows",
    "",  // the desktop
    "\\Windows\\StartUp",
    "\\My Documents",
    "",
    "",
    "",
    "",
    "",
    "\\Windows\\Start Menu\\Programs",
    "",
    "",
    "\\Windows\\Start Menu\\Games",
    "\\Windows\\Fonts",
    "",
    "\\Windows\\Start Menu",
};

std::vector<std::string> split(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = std::min(path.find('\\', start), path.size());
    parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// Case-blind: the .inf and the scripts CAB Wizard writes mix "%CE1%" and "%ce1%".
bool startsWithFolded(const std::string& s, size_t at, const std::string& word) {
  if (s.size() - at < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[at + i])) != std::tolower(static_cast<unsigned char>(word[i])))
      return false;
  return true;
}

// Fills in %InstallDir% and %CEn%; `strict` refuses a %CEn% the device has not.
std::string fill(const std::string& text, const std::string& installDir, bool strict) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == '%' && startsWithFolded(text, i, "%InstallDir%")) {
      out += installDir;
      i += 12;
      continue;
    }
    if (text[i] == '%' && startsWithFolded(text, i, "%CE")) {
      size_t end = text.find('%', i + 1);
      std::string digits = end == std::string::npos ? "" : text.substr(i + 3, end - i - 3);
      bool number = !digits.empty() && digits.size() <= 2 &&
                    std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); });
      int n = number ? std::stoi(digits) : 0;
      if (n >= 1 && n <= 17 && *kCeFolders[n]) {
        out += kCeFolders[n];
        i = end + 1;
        continue;
      }
      if (strict && number) throw FormatError("%CE" + digits + "% is no folder of a Pocket PC");
    }
    out += text[i++];
  }
  return out;
}

}  // namespace

std::string rootName(uint16_t root) {
  static const char* const names[] = {"", "HKCR", "HKCU", "HKLM", "HKU"};
  return root >= kHkcr && root <= kHku ? names[root] : "";
}

uint16_t rootOf(const std::string& name) {
  for (uint16_t r = kHkcr; r <= kHku; ++r)
    if (rootName(r) == name) return r;
  if (name == "HKEY_CLASSES_ROOT") return kHkcr;
  if (name == "HKEY_CURRENT_USER") return kHkcu;
  if (name == "HKEY_LOCAL_MACHINE") return kHklm;
  if (name == "HKEY_USERS") return kHku;
  return 0;
}

InstallScript compose(const Package& p) {
  InstallScript s;
  s.processor = p.processor;
  s.minMajor = p.minMajor;
  s.minMinor = p.minMinor;
  s.maxMajor = p.maxMajor;
  s.maxMinor = p.maxMinor;
  s.minBuild = p.minBuild;
  s.maxBuild = p.maxBuild;
  s.appName = p.appName;
  s.provider = p.provider;
  s.unsupported = p.unsupported;

  auto intern = [&](const std::string& path) {
    std::vector<uint16_t> ids;
    for (const std::string& part : split(path)) {
      auto it = std::find_if(s.strings.begin(), s.strings.end(),
                             [&](const InstallScript::String& e) { return e.text == part; });
      if (it == s.strings.end()) {
        s.strings.push_back({static_cast<uint16_t>(s.strings.size() + 1), part});
        ids.push_back(s.strings.back().id);
      } else {
        ids.push_back(it->id);
      }
    }
    return ids;
  };
  auto dirOf = [&](const std::string& folder) {
    std::vector<uint16_t> path = intern(folder);
    for (const auto& d : s.dirs)
      if (d.path == path) return d.id;
    s.dirs.push_back({static_cast<uint16_t>(s.dirs.size() + 1), path});
    return s.dirs.back().id;
  };
  dirOf(p.installDir);
  for (const auto& f : p.files) s.files.push_back({f.number, dirOf(f.folder), f.number, f.flags, f.name});
  for (const auto& v : p.values) {
    std::vector<uint16_t> path = intern(v.key);
    auto it = std::find_if(s.hives.begin(), s.hives.end(),
                           [&](const InstallScript::Hive& h) { return h.root == v.root && h.path == path; });
    uint16_t hive = it != s.hives.end() ? it->id : 0;
    if (!hive) {
      s.hives.push_back({static_cast<uint16_t>(s.hives.size() + 1), v.root, 0, path});
      hive = s.hives.back().id;
    }
    s.keys.push_back({static_cast<uint16_t>(s.keys.size() + 1), hive, static_cast<uint16_t>(v.substitute ? 1 : 0),
                      v.type, v.name, v.data});
  }
  return s;
}

Package resolve(const InstallScript& s) {
  if (s.dirs.empty()) throw FormatError("it names no installation folder");
  Package p;
  p.processor = s.processor;
  p.minMajor = s.minMajor;
  p.minMinor = s.minMinor;
  p.maxMajor = s.maxMajor;
  p.maxMinor = s.maxMinor;
  p.minBuild = s.minBuild;
  p.maxBuild = s.maxBuild;
  p.appName = s.appName;
  p.provider = s.provider;
  p.unsupported = s.unsupported;
  p.installDir = joinPath(s, s.dirs.front().path);
  for (const auto& f : s.files) {
    auto dir = std::find_if(s.dirs.begin(), s.dirs.end(), [&](const InstallScript::Dir& d) { return d.id == f.dir; });
    p.files.push_back({f.id, joinPath(s, dir->path), f.name, f.flags});
  }
  for (const auto& k : s.keys) {
    auto hive = std::find_if(s.hives.begin(), s.hives.end(), [&](const InstallScript::Hive& h) { return h.id == k.hive; });
    p.values.push_back({hive->root, joinPath(s, hive->path), k.name, k.type, k.data, k.substitute != 0});
  }
  p.links = s.links.size();
  return p;
}

std::string devicePath(const std::string& folder, const std::string& installDir) {
  std::string dir = fill(installDir, "", true);
  std::string path = fill(folder, dir, true);
  if (path.empty() || path[0] != '\\') throw FormatError("the folder " + folder + " is not on the device");
  return path;
}

std::string substitute(const std::string& text, const std::string& installDir) {
  return fill(text, fill(installDir, "", false), false);
}

std::string memberName(const std::string& fileName, unsigned number, std::map<std::string, int>& used) {
  std::string stem = fileName.substr(0, fileName.rfind('.'));
  std::string plain;
  for (unsigned char c : stem)
    if (c > ' ' && c < 0x7F && c != '.' && !std::strchr("\"*+,/:;<=>?[\\]|", c)) plain += static_cast<char>(std::toupper(c));
  if (plain.size() > 8) {
    std::string suffix(1, '~');
    suffix += std::to_string(++used[plain.substr(0, 6)]);
    plain = plain.substr(0, 8 - suffix.size()) + suffix;
  } else {
    plain.insert(0, 8 - plain.size(), '0');
  }
  char digits[4];
  std::snprintf(digits, sizeof digits, "%03u", number % 1000);
  return plain + "." + digits;
}

}  // namespace cab
