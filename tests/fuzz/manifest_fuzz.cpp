// Fuzzes the reader of the package manifest: a malformed manifest is refused
// with DeviceError naming the line, and an accepted one holds only what the
// installer can carry out: registry keys it can write, numbers that fit a
// DWORD, device paths that stay inside the device and libraries of the build.
#include <cstdint>
#include <string>

#include "device.h"
#include "device_error.h"
#include "fuzz_support.h"
#include "installer.h"
#include "registry_store.h"

namespace {

bool hasControl(const std::string& s) {
  for (unsigned char c : s)
    if (c < 0x20 || c == 0x7F) return true;
  return false;
}

// One name of a file or a key: no separator, not "." or "..".
bool plainName(const std::string& s) {
  return !s.empty() && s != "." && s != ".." && s.find_first_of("\\/") == std::string::npos && !hasControl(s);
}

// "\A\B": absolute, every component a plain name.
bool devicePath(const std::string& s) {
  if (s.size() < 2 || s[0] != '\\') return false;
  for (size_t start = 1; start <= s.size();) {
    size_t end = s.find('\\', start);
    if (end == std::string::npos) end = s.size();
    if (!plainName(s.substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

bool library(const std::string& s) {
  return plainName(s) && s.size() > 4 && s.compare(s.size() - 4, 4, ".dll") == 0;
}

// Decimal, or 0x and hex digits, within 32 bits.
bool dwordText(const std::string& s) {
  const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
  const std::string digits = hex ? s.substr(2) : s;
  if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos)
    return false;
  try {
    return std::stoull(digits, nullptr, hex ? 16 : 10) <= 0xFFFFFFFFull;
  } catch (const std::out_of_range&) {
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  crestune::PackageManifest m;
  try {
    m = crestune::PackageManifest::parse(text, "package.manifest");
  } catch (const wince::DeviceError& e) {
    const std::string what = e.what();
    FUZZ_CHECK(what.rfind("package.manifest:", 0) == 0, "a refusal names the manifest: " + what);
    return 0;
  }
  FUZZ_CHECK(plainName(m.name), "the package's name is one plain name: " + m.name);
  FUZZ_CHECK(devicePath(wince::narrow(m.installFolder)), "the install folder is a device path");
  FUZZ_CHECK(library(m.setupLibrary), "the setup library is a library of the build: " + m.setupLibrary);
  for (const auto& f : m.files) {
    FUZZ_CHECK(library(f.library), "a file is a library of the build: " + f.library);
    FUZZ_CHECK(devicePath(wince::narrow(f.target)), "a file goes to a device path: " + wince::narrow(f.target));
  }
  for (const auto& v : m.values) {
    try {
      wince::RegistryStore::parseKeyPath(v.key);
    } catch (const wince::DeviceError&) {
      FUZZ_CHECK(false, "a value's key is a registry key: " + v.key);
    }
    FUZZ_CHECK(v.type == "sz" || dwordText(v.data), "a dword value is a number that fits: " + v.data);
  }
  return 0;
}
