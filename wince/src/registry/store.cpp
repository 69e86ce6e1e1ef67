#include "registry/store.h"

namespace wince {
struct RegistryStore::Impl {};
RegistryStore::RegistryStore(std::filesystem::path, Accounting&) : impl_(std::make_unique<Impl>()) {}
RegistryStore::~RegistryStore() = default;
void RegistryStore::seedDefaults() {}
std::string RegistryStore::exportText() const { return {}; }
}  // namespace wince
