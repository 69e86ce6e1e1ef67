// What the installer checks of a CAB before it writes anything: that it is
// a CAB with an undamaged install script and every member the script names,
// that it is for this device's processor and Windows CE version, and that
// every file lands inside the device and every registry value is one the
// registry can hold.
#include "installer.h"

#include <algorithm>

#include "cabinet.h"
#include "device_error.h"
#include "registry_store.h"

namespace crestune {

namespace fs = std::filesystem;

namespace {

// The script's texts are 8-bit, as the device's installer reads them.
std::u16string widenAnsi(const std::string& s) {
  std::u16string w;
  for (unsigned char c : s) w += static_cast<char16_t>(c);
  return w;
}

// One name of a file or a key: printable, no separator, not "." or "..".
bool plainName(const std::string& s) {
  if (s.empty() || s.size() > 255 || s == "." || s == "..") return false;
  for (unsigned char c : s)
    if (c < 0x20 || c == 0x7F || c == '\\' || c == '/') return false;
  return true;
}

// An absolute device path ("\Windows\x.dll") whose host path stays inside
// the device's folder.
bool devicePath(const std::string& s) {
  if (s.size() < 2 || s[0] != '\\') return false;
  for (size_t start = 1; start <= s.size();) {
    size_t end = std::min(s.find('\\', start), s.size());
    if (!plainName(s.substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

std::string processorName(uint32_t p) {
  switch (p) {
    case cab::kProcessorStrongArm: return "StrongARM";
    case cab::kProcessorAmd64: return "x86-64";
    case 103: case 104: case 10003: case 10004: case 10005: return "SH";
    case 4000: return "MIPS";
    case 386: case 486: case 586: return "x86";
    default: return "an unknown processor";
  }
}

// "3.0", "5.99", with the build when there is one.
std::string versionText(uint32_t major, uint32_t minor) { return std::to_string(major) + "." + std::to_string(minor); }

void checkDevice(const cab::Package& p) {
  if (p.processor != cab::kProcessorAny && p.processor != cab::kProcessorStrongArm &&
      p.processor != cab::kProcessorAmd64)
    throw cab::FormatError("it is for processor type " + std::to_string(p.processor) + " (" +
                           processorName(p.processor) + "); this device is StrongARM (2577) or x86-64 (8664)");
  const uint64_t device = uint64_t{kDeviceMajor} << 32 | kDeviceMinor;
  const uint64_t least = uint64_t{p.minMajor} << 32 | p.minMinor, most = uint64_t{p.maxMajor} << 32 | p.maxMinor;
  const bool hasMin = p.minMajor || p.minMinor, hasMax = p.maxMajor || p.maxMinor;
  const std::string here = "; this device runs " + versionText(kDeviceMajor, kDeviceMinor) + " build " +
                           std::to_string(kDeviceBuild);
  if ((hasMin && device < least) || (hasMax && device > most))
    throw cab::FormatError("it is for Windows CE " + (hasMin ? versionText(p.minMajor, p.minMinor) : "any") + " to " +
                           (hasMax ? versionText(p.maxMajor, p.maxMinor) : "any") + here);
  if ((p.minBuild && kDeviceBuild < p.minBuild) || (p.maxBuild && kDeviceBuild > p.maxBuild))
    throw cab::FormatError("it is for builds " + std::to_string(p.minBuild) + " to " + std::to_string(p.maxBuild) +
                           " of Windows CE" + here);
  for (const std::string& platform : p.unsupported)
    if (platform == "POCKETPC") throw cab::FormatError("it says it does not run on a Pocket PC");
  if (p.links) throw cab::FormatError("it asks for shortcuts, which this installer does not make");
}

DWORD registryType(uint32_t type) {
  switch (type & cab::kTypeMask) {
    case cab::kTypeDword: return REG_DWORD;
    case cab::kTypeMultiSz: return REG_MULTI_SZ;
    case cab::kTypeBinary: return REG_BINARY;
    default: return REG_SZ;
  }
}

// A value's bytes as the registry stores them: texts in UTF-16, their
// folders filled in when the script says so.
std::vector<uint8_t> valueBytes(const cab::Package::Value& v, const std::string& installDir) {
  if (registryType(v.type) != REG_SZ && registryType(v.type) != REG_MULTI_SZ) return v.data;
  std::u16string text;
  for (size_t start = 0; start < v.data.size();) {
    auto nul = std::find(v.data.begin() + start, v.data.end(), 0);
    std::string part(v.data.begin() + start, nul);
    text += widenAnsi(v.substitute ? cab::substitute(part, installDir) : part);
    text += u'\0';
    start = nul - v.data.begin() + 1;
  }
  std::vector<uint8_t> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  return bytes;
}

CheckedCab check(const cab::OpenedCab& opened) {
  const cab::Package& p = opened.package;
  checkDevice(p);
  CheckedCab c;
  c.appName = p.appName;
  c.fullName = p.provider.empty() ? p.appName : p.provider + " " + p.appName;
  if (!plainName(c.appName)) throw cab::FormatError("its application name \"" + p.appName + "\" is no plain name");
  if (!plainName(c.fullName)) throw cab::FormatError("its provider \"" + p.provider + "\" is no plain name");
  const std::string installDir = cab::devicePath(p.installDir, "");
  if (!devicePath(installDir)) throw cab::FormatError("its installation folder " + installDir + " is not on the device");
  c.installDir = widenAnsi(installDir);
  for (const auto& f : p.files) {
    const std::string target = cab::devicePath(f.folder, p.installDir) + "\\" + f.name;
    if (!plainName(f.name) || !devicePath(target))
      throw cab::FormatError("its file " + std::to_string(f.number) + " would go to " + target +
                             ", outside the device's folders");
    c.files.push_back({widenAnsi(target), opened.members.at(f.number)});
  }
  for (const auto& v : p.values) {
    const std::string key = cab::rootName(v.root) + "\\" + v.key;
    try {
      wince::RegistryStore::parseKeyPath(key);
    } catch (const wince::DeviceError& e) {
      throw cab::FormatError("its registry value " + v.name + " is under no key the registry can hold (" +
                             e.what() + ")");
    }
    c.values.push_back({key, v.name, registryType(v.type), valueBytes(v, installDir), (v.type & cab::kNoClobber) != 0});
  }
  return c;
}

}  // namespace

CheckedCab checkCab(const fs::path& file) {
  try {
    cab::OpenedCab opened = cab::openCab(cab::readCabinetFile(file));
    CheckedCab c = check(opened);
    c.script = cab::writeInstallScript(opened.script);
    if (opened.hasSetup()) c.setup = opened.members.at(cab::kSetupNumber);
    return c;
  } catch (const cab::FormatError& e) {
    throw wince::DeviceError(file.string() + ": " + e.what());
  }
}

CheckedCab checkScript(const std::vector<uint8_t>& script, const std::string& source) {
  try {
    cab::OpenedCab opened;
    opened.script = cab::readInstallScript(script);
    opened.package = cab::resolve(opened.script);
    for (const auto& f : opened.package.files) opened.members[f.number];  // removal needs no contents
    CheckedCab c = check(opened);
    c.script = script;
    return c;
  } catch (const cab::FormatError& e) {
    throw wince::DeviceError(source + ": " + e.what());
  }
}

}  // namespace crestune
