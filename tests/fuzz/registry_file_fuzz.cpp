// Fuzzes the reader of the device's registry file (REGEDIT5 text): a damaged
// file is refused with DeviceError naming the line, and whatever is read is
// written back as text that reads as the very same registry.
#include <cstdint>
#include <string>

#include "device.h"
#include "device_error.h"
#include "fuzz_support.h"
#include "registry_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  wince::Accounting accounting;
  std::unique_ptr<wince::RegistryStore> store;
  try {
    store = wince::RegistryStore::fromText(text, "registry.reg", accounting);
  } catch (const wince::DeviceError& e) {
    const std::string what = e.what();
    FUZZ_CHECK(what.rfind("registry.reg: line ", 0) == 0, "a refusal names the file and the line: " + what);
    FUZZ_CHECK(what.find('\n') == std::string::npos, "a refusal is one line: " + what);
    return 0;
  }
  const std::string written = store->exportText();
  std::unique_ptr<wince::RegistryStore> again;
  try {
    again = wince::RegistryStore::fromText(written, "written.reg", accounting);
  } catch (const wince::DeviceError& e) {
    FUZZ_CHECK(false, std::string("the written registry reads back: ") + e.what());
  }
  FUZZ_CHECK(again->exportText() == written, "the written registry reads back as the same registry");
  FUZZ_CHECK(accounting.live(wince::ObjectKind::Key) == 0, "reading opens no key");
  return 0;
}
