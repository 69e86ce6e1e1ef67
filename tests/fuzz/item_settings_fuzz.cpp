// Fuzzes the item's reading of its stored settings: the input decides the
// settings key and its values IconSize, Language and WMPApplication (type,
// size, bytes, terminator; see ValueRecords), then LoadSettings reads them on
// a fresh device. Whatever is stored, the sizes and the language are ones the
// item knows, the player path ends inside its buffer and is what a person
// stored, and saving the settings and reading them again changes nothing.
#include <cstdint>
#include <string>

#include "crestitem.h"
#include "device.h"
#include "fuzz_support.h"
#include "registry_store.h"

namespace {

const char* kSettingsKey = "HKLM\\SOFTWARE\\Halvorn\\WMP Crestune";

// Checks what LoadSettings made of the settings; answers the path it read.
std::u16string checkLoaded(const ItemContext& c) {
  FUZZ_CHECK(c.playIconSize == 24 || c.playIconSize == 32, "Play is 24 or 32 pixels");
  FUZZ_CHECK(c.otherIconSize == 24, "the other buttons are 24 pixels");
  FUZZ_CHECK(c.language == 0 || c.language == 1, "the language is English or Spanish");
  FUZZ_CHECK(c.playerPath, "there is always a player path");
  std::u16string path(reinterpret_cast<const char16_t*>(c.playerPath));
  FUZZ_CHECK(path.size() < PLAYER_PATH_UNITS, "the player path fits the buffer it moves through");
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  wince::Device device{wince::DeviceOptions{}};
  wince::RegistryStore& reg = device.registry();
  fuzz::ValueRecords records(data, size);
  const bool keyExists = size > 0 && (data[0] & 1);
  records.next();  // the first record only says whether the key exists
  std::optional<wince::RegistryStore::Value> stored[3];
  const char* names[3] = {"IconSize", "Language", "WMPApplication"};
  if (keyExists) {
    reg.setValue(kSettingsKey, "Other", REG_SZ, wince::RegistryStore::stringBytes("x"));
    for (int i = 0; i < 3; ++i)
      if ((stored[i] = records.next())) reg.setValue(kSettingsKey, names[i], stored[i]->type, stored[i]->bytes);
  }

  ItemContext context = g_ItemContext;
  context.playerPath = nullptr;
  const LONG result = LoadSettings(&context);
  const std::u16string path = checkLoaded(context);
  if (!keyExists) {
    FUZZ_CHECK(result == ERROR_FILE_NOT_FOUND, "without the key the settings are not found");
    FUZZ_CHECK(path == u"wmplayer.exe", "without the key the player is the default one");
  } else {
    FUZZ_CHECK(result == ERROR_SUCCESS, "the settings key is read: " + std::to_string(result));
    // The path is the stored text up to its terminator, cut to what the
    // buffer holds; no stored path reads as none.
    const std::u16string expected =
        stored[2] ? fuzz::textOf(fuzz::unitsOf(stored[2]->bytes), PLAYER_PATH_UNITS - 1) : u"";
    FUZZ_CHECK(path == expected, "the player path is the text stored");
  }

  // What the options page saves reads back as it was.
  const int iconSize = context.playIconSize;
  SaveSettings(&context);
  FreeHeapString(&context.playerPath);
  FUZZ_CHECK(LoadSettings(&context) == ERROR_SUCCESS, "saved settings are read");
  FUZZ_CHECK(checkLoaded(context) == path, "a saved player path reads back the same");
  FUZZ_CHECK(context.playIconSize == iconSize, "a saved button size reads back the same");
  auto saved = reg.getValue(kSettingsKey, "WMPApplication");
  FUZZ_CHECK(saved && saved->type == REG_SZ && saved->bytes.size() == PLAYER_PATH_BYTES,
             "the player path is stored as the whole buffer");

  FreeHeapString(&context.playerPath);
  FUZZ_CHECK(device.accounting().live(wince::ObjectKind::Key) == 0, "every key opened is closed");
  FUZZ_CHECK(device.accounting().live(wince::ObjectKind::Heap) == 0, "every heap string is freed");
  return 0;
}
