// Fuzzes the CAB and its .000 install script as the installer reads them.
// The input is tried both ways: as a .000 (an accepted one is written and
// read back unchanged) and as a CAB (opened through libgcab). Whatever is
// refused is refused with FormatError or DeviceError saying why; whatever
// the installer accepts writes only inside the device, under keys the
// registry can make.
#include <cstdint>
#include <string>

#include "cabinet.h"
#include "device_error.h"
#include "fuzz_support.h"
#include "installer.h"
#include "registry_store.h"

namespace {

// A refusal says what is wrong; the installer shows it as one line.
void checkRefusal(const std::string& what, const std::string& source) {
  FUZZ_CHECK(what.size() > source.size() && what.rfind(source, 0) == 0, "a refusal names " + source + ": " + what);
}

// "\A\B": absolute, every component a plain name that stays where it is.
bool insideDevice(const std::u16string& path) {
  if (path.size() < 2 || path[0] != u'\\') return false;
  for (size_t start = 1; start <= path.size();) {
    size_t end = path.find(u'\\', start);
    if (end == std::u16string::npos) end = path.size();
    std::u16string part = path.substr(start, end - start);
    if (part.empty() || part == u"." || part == u".." || part.find(u'/') != std::u16string::npos) return false;
    for (char16_t c : part)
      if (c < 0x20) return false;
    start = end + 1;
  }
  return true;
}

// What the installer would carry out of a script it accepted.
void checkAccepted(const std::vector<uint8_t>& script) {
  crestune::CheckedCab c;
  try {
    c = crestune::checkScript(script, "fuzz.000");
  } catch (const wince::DeviceError& e) {
    checkRefusal(e.what(), "fuzz.000: ");
    return;
  }
  FUZZ_CHECK(insideDevice(c.installDir), "the installation folder is inside the device");
  for (const auto& f : c.files) FUZZ_CHECK(insideDevice(f.target), "a file lands inside the device");
  for (const auto& v : c.values) {
    try {
      wince::RegistryStore::parseKeyPath(v.key);
    } catch (const wince::DeviceError&) {
      FUZZ_CHECK(false, "a value's key is one the registry can make: " + v.key);
    }
    FUZZ_CHECK(v.type != REG_DWORD || v.bytes.size() == 4, "a DWORD is four bytes");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // As a .000.
  try {
    const cab::InstallScript script = cab::readInstallScript(data, size);
    const std::vector<uint8_t> written = cab::writeInstallScript(script);
    FUZZ_CHECK(cab::readInstallScript(written) == script, "a script read is written back unchanged");
    FUZZ_CHECK(cab::writeInstallScript(cab::readInstallScript(written)) == written, "writing is stable");
    checkAccepted(written);
  } catch (const cab::FormatError& e) {
    checkRefusal(e.what(), "");
  }
  // As a CAB.
  try {
    cab::OpenedCab opened = cab::openCab(cab::readCabinet(data, size));
    for (const auto& f : opened.package.files)
      FUZZ_CHECK(opened.members.count(f.number), "every file of an opened CAB has its member");
    checkAccepted(cab::writeInstallScript(opened.script));
  } catch (const cab::FormatError& e) {
    checkRefusal(e.what(), "");
  }
  return 0;
}
