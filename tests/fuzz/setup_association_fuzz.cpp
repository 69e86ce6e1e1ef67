// Fuzzes the installer hook's reading of the .wmv association: the input
// decides the default value of HKCR\.wmv and of the class's
// Shell\Open\Command key (type, size, bytes, terminator; see ValueRecords),
// then FindPlayerFromAssociation and WriteInitialSettings read them on a
// fresh device. The path found ends inside its buffer with zeros behind it,
// is the program part of the command, and what is stored is a whole buffer.
#include <cstdint>
#include <memory>
#include <string>

#include "device.h"
#include "device_error.h"
#include "fuzz_support.h"
#include "registry_store.h"
#include "setup.h"

namespace {

const char* kSettingsKey = "HKLM\\SOFTWARE\\Halvorn\\WMP Crestune";

// The program part of a command line: between the first two quotes when it
// starts with one, else up to the first space.
std::u16string programOf(const std::u16string& command) {
  const bool quoted = !command.empty() && command[0] == u'"';
  const std::u16string rest = command.substr(quoted ? 1 : 0);
  return rest.substr(0, rest.find(quoted ? u'"' : u' '));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  wince::Device device{wince::DeviceOptions{}};
  wince::RegistryStore& reg = device.registry();
  reg.deleteKey("HKCR\\.wmv");
  reg.deleteKey("HKCR\\WMVFile");
  fuzz::ValueRecords records(data, size);
  auto className = records.next();
  auto command = records.next();
  std::u16string classText;
  if (className) {
    reg.setValue("HKCR\\.wmv", "", className->type, className->bytes);
    classText = fuzz::textOf(fuzz::unitsOf(className->bytes), PATH_UNITS - 1);
  }
  bool commandStored = false;
  if (command) {
    try {
      reg.setValue("HKCR\\" + wince::narrow(classText) + "\\Shell\\Open\\Command", "", command->type, command->bytes);
      commandStored = true;
    } catch (const wince::DeviceError&) {
      // A class name that is no key name has no command.
    }
  }

  // Exactly the buffer's units, so that a write past them is caught.
  auto path = std::make_unique<WCHAR[]>(PATH_UNITS);
  for (int i = 0; i < PATH_UNITS; ++i) path[i] = 0xAAAA;
  const BOOL found = FindPlayerFromAssociation(path.get());
  const bool fits = className && className->bytes.size() <= PATH_BYTES && command &&
                    command->bytes.size() <= PATH_BYTES;
  if (found) {
    FUZZ_CHECK(commandStored && fits, "an association is found only where both values are stored and fit");
    const std::u16string text(reinterpret_cast<const char16_t*>(path.get()));
    FUZZ_CHECK(text.size() < static_cast<size_t>(PATH_UNITS), "the path ends inside its buffer");
    for (size_t i = text.size(); i < static_cast<size_t>(PATH_UNITS); ++i)
      FUZZ_CHECK(path[i] == 0, "the buffer behind the path is zero");
    const std::u16string commandText = fuzz::textOf(fuzz::unitsOf(command->bytes), PATH_UNITS - 1);
    FUZZ_CHECK(text == programOf(commandText), "the path is the program part of the command");
  }

  WriteInitialSettings();
  auto stored = reg.getValue(kSettingsKey, "WMPApplication");
  FUZZ_CHECK(stored && stored->type == REG_SZ && stored->bytes.size() == PATH_BYTES,
             "the player path is stored as the whole buffer");
  const std::u16string units = fuzz::unitsOf(stored->bytes);
  FUZZ_CHECK(units.find(u'\0') != std::u16string::npos, "the stored path is terminated");
  FUZZ_CHECK(device.accounting().live(wince::ObjectKind::Key) == 0, "every key opened is closed");
  return 0;
}
