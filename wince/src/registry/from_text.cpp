// A registry read from REGEDIT5 text without a file: for hosts and fuzzers
// that hold the text itself.
#include "registry/tree.h"

namespace wince {

std::unique_ptr<RegistryStore> RegistryStore::fromText(const std::string& text, const std::string& source,
                                                       Accounting& accounting) {
  auto store = std::make_unique<RegistryStore>(std::filesystem::path(), accounting);
  parseRegText(text, source, store->impl_->roots);
  return store;
}

}  // namespace wince
