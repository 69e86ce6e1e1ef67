// The registry's key tree and the operations the API and the host helpers
// are built from; each change is handed to the journal (persist.cpp).
#include "registry_store.h"

#include <cstring>
#include <optional>

#include "device.h"
#include "device_error.h"
#include "registry/tree.h"

namespace wince {

namespace {

char16_t foldChar(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 0x20);
  // Latin-1 letters (not the division sign, not ÿ which has no upper case here).
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 0x20);
  // Basic Greek and Cyrillic.
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
  return c;
}

std::u16string str16(const char16_t* s) { return s ? std::u16string(s) : std::u16string(); }

}  // namespace

std::u16string foldName(const std::u16string& name) {
  std::u16string out(name);
  for (char16_t& c : out) c = foldChar(c);
  return out;
}

RegKey* RegKey::child(const std::u16string& n) const {
  auto it = subkeys.find(foldName(n));
  return it == subkeys.end() ? nullptr : it->second.get();
}

size_t RegKey::depth() const {
  size_t d = 0;
  for (const RegKey* k = parent; k; k = k->parent) ++d;
  return d;
}

std::string RegKey::pathText() const {
  std::vector<const RegKey*> chain;
  for (const RegKey* k = this; k; k = k->parent) chain.push_back(k);
  std::string out;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (!out.empty()) out += '\\';
    out += narrow((*it)->name);
  }
  return out;
}

const RegValue* RegKey::value(const std::u16string& n) const {
  auto it = values.find(foldName(n));
  return it == values.end() ? nullptr : &it->second;
}

void RegKey::put(const std::u16string& n, DWORD type, std::vector<uint8_t> data) {
  RegValue& v = values[foldName(n)];
  if (v.name.empty()) v.name = n;  // an existing value keeps the case it was made with
  v.type = type;
  v.data = std::move(data);
}

const RegRoot kRegRoots[3] = {
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", "HKCR"},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER", "HKCU"},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", "HKLM"},
};

const RegRoot* findRoot(const std::string& name) {
  std::u16string folded = foldName(widen(name));
  for (const RegRoot& r : kRegRoots)
    if (folded == foldName(widen(r.name)) || folded == foldName(widen(r.abbrev))) return &r;
  return nullptr;
}

// ---------------------------------------------------------------------------
// The tree and its operations.

RegistryStore::Impl::Impl(std::filesystem::path f, Accounting& a) : file(std::move(f)), accounting(a) {
  for (int i = 0; i < 3; ++i) {
    roots[i] = std::make_shared<RegKey>();
    roots[i]->name = widen(kRegRoots[i].name);
  }
}

std::shared_ptr<RegKey> RegistryStore::Impl::rootKey(HKEY root) const {
  for (int i = 0; i < 3; ++i)
    if (kRegRoots[i].handle == root) return roots[i];
  return nullptr;
}

LONG RegistryStore::Impl::resolve(HKEY h, std::shared_ptr<RegKey>& out) const {
  out = rootKey(h);
  if (out) return ERROR_SUCCESS;
  auto it = handles.find(reinterpret_cast<uintptr_t>(h));
  if (it == handles.end()) return ERROR_INVALID_HANDLE;
  out = it->second;
  return out->deleted ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

LONG RegistryStore::Impl::splitPath(const char16_t* path, std::vector<std::u16string>& parts, size_t maxDepth) {
  parts.clear();
  if (!path || !*path) return ERROR_SUCCESS;
  std::u16string p(path);
  if (p.back() == u'\\') p.pop_back();
  size_t start = 0;
  for (;;) {
    if (parts.size() == maxDepth) return ERROR_INVALID_PARAMETER;  // deeper than keys may nest
    size_t end = p.find(u'\\', start);
    std::u16string part = p.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start);
    if (part.empty() || part.size() > kMaxKeyName) return ERROR_INVALID_PARAMETER;
    for (char16_t c : part)
      if (c < 0x20) return ERROR_INVALID_PARAMETER;
    parts.push_back(std::move(part));
    if (end == std::u16string::npos) break;
    start = end + 1;
  }
  return ERROR_SUCCESS;
}

std::shared_ptr<RegKey> RegistryStore::Impl::walk(const std::shared_ptr<RegKey>& from,
                                                  const std::vector<std::u16string>& parts) const {
  std::shared_ptr<RegKey> k = from;
  for (const auto& part : parts) {
    auto it = k->subkeys.find(foldName(part));
    if (it == k->subkeys.end()) return nullptr;
    k = it->second;
  }
  return k;
}

std::shared_ptr<RegKey> RegistryStore::Impl::makePath(const std::shared_ptr<RegKey>& from,
                                                      const std::vector<std::u16string>& parts,
                                                      bool* created, std::shared_ptr<RegKey>* firstMade) {
  std::shared_ptr<RegKey> k = from;
  bool made = false;
  if (firstMade) firstMade->reset();
  for (const auto& part : parts) {
    auto& slot = k->subkeys[foldName(part)];
    if (!slot) {
      slot = std::make_shared<RegKey>();
      slot->name = part;
      slot->parent = k.get();
      if (!made && firstMade) *firstMade = slot;
      made = true;
    }
    k = slot;
  }
  if (created) *created = made;
  return k;
}

void RegistryStore::Impl::restoreKey(const std::shared_ptr<RegKey>& key, RegKey* parent) {
  std::vector<RegKey*> stack{key.get()};
  while (!stack.empty()) {
    RegKey* k = stack.back();
    stack.pop_back();
    k->deleted = false;
    for (auto& [_, sub] : k->subkeys) stack.push_back(sub.get());
  }
  key->parent = parent;
  parent->subkeys[foldName(key->name)] = key;
}

void RegistryStore::Impl::setCommitted(const std::shared_ptr<RegKey>& k, const std::shared_ptr<RegKey>& firstMade,
                                       const std::u16string& name, DWORD type, std::vector<uint8_t> data) {
  std::optional<RegValue> before;
  if (const RegValue* v = k->value(name)) before = *v;
  k->put(name, type, std::move(data));
  commit(valueRecord(*k, *k->value(name)), [&] {
    if (firstMade) return removeKey(firstMade);
    if (before)
      k->values[foldName(name)] = *before;
    else
      k->values.erase(foldName(name));
  });
}

void RegistryStore::Impl::removeKey(const std::shared_ptr<RegKey>& key) {
  // Handles open on the key or below it keep their RegKey alive; marking the
  // whole subtree deleted makes them answer ERROR_KEY_DELETED.
  std::vector<RegKey*> stack{key.get()};
  while (!stack.empty()) {
    RegKey* k = stack.back();
    stack.pop_back();
    k->deleted = true;
    for (auto& [_, sub] : k->subkeys) stack.push_back(sub.get());
  }
  RegKey* parent = key->parent;
  key->parent = nullptr;
  if (parent) parent->subkeys.erase(foldName(key->name));
}

HKEY RegistryStore::Impl::issueHandle(std::shared_ptr<RegKey> key) {
  const uintptr_t h = nextHandle;
  nextHandle += 4;
  handles[h] = std::move(key);
  accounting.acquire(ObjectKind::Key);
  return reinterpret_cast<HKEY>(h);
}

LONG RegistryStore::Impl::open(HKEY base, const char16_t* subKey, HKEY* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<RegKey> from;
  LONG rc = resolve(base, from);
  if (rc != ERROR_SUCCESS) return rc;
  std::vector<std::u16string> parts;
  rc = splitPath(subKey, parts, kMaxKeyDepth - from->depth());
  if (rc != ERROR_SUCCESS) return rc;
  std::shared_ptr<RegKey> k = walk(from, parts);
  if (!k) return ERROR_FILE_NOT_FOUND;
  *result = issueHandle(std::move(k));
  return ERROR_SUCCESS;
}

LONG RegistryStore::Impl::create(HKEY base, const char16_t* subKey, HKEY* result, DWORD* disposition) {
  if (!result || !subKey) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<RegKey> from;
  LONG rc = resolve(base, from);
  if (rc != ERROR_SUCCESS) return rc;
  std::vector<std::u16string> parts;
  rc = splitPath(subKey, parts, kMaxKeyDepth - from->depth());
  if (rc != ERROR_SUCCESS) return rc;
  bool created = false;
  std::shared_ptr<RegKey> made;
  std::shared_ptr<RegKey> k = makePath(from, parts, &created, &made);
  if (created) commit(keyRecord(*k, false), [&] { removeKey(made); });
  *result = issueHandle(std::move(k));
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LONG RegistryStore::Impl::close(HKEY h) {
  if (rootKey(h)) return ERROR_SUCCESS;  // predefined keys are never closed
  auto it = handles.find(reinterpret_cast<uintptr_t>(h));
  if (it == handles.end()) return ERROR_INVALID_HANDLE;
  handles.erase(it);
  accounting.release(ObjectKind::Key);
  return ERROR_SUCCESS;
}

LONG RegistryStore::Impl::queryValue(HKEY h, const char16_t* name, DWORD* type, BYTE* data,
                                     DWORD* size) const {
  if (data && !size) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<RegKey> k;
  LONG rc = resolve(h, k);
  if (rc != ERROR_SUCCESS) return rc;
  const RegValue* v = k->value(str16(name));
  if (!v) return ERROR_FILE_NOT_FOUND;
  const DWORD needed = static_cast<DWORD>(v->data.size());
  if (type) *type = v->type;
  if (data) {
    if (*size < needed) {
      *size = needed;
      return ERROR_MORE_DATA;
    }
    if (needed) std::memcpy(data, v->data.data(), needed);
  }
  if (size) *size = needed;
  return ERROR_SUCCESS;
}

LONG RegistryStore::Impl::setValue(HKEY h, const char16_t* name, DWORD type, const BYTE* data, DWORD size) {
  if (!data && size) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<RegKey> k;
  LONG rc = resolve(h, k);
  if (rc != ERROR_SUCCESS) return rc;
  setCommitted(k, nullptr, str16(name), type, std::vector<uint8_t>(data, data + size));
  return ERROR_SUCCESS;
}

LONG RegistryStore::Impl::deleteValue(HKEY h, const char16_t* name) {
  std::shared_ptr<RegKey> k;
  LONG rc = resolve(h, k);
  if (rc != ERROR_SUCCESS) return rc;
  auto it = k->values.find(foldName(str16(name)));
  if (it == k->values.end()) return ERROR_FILE_NOT_FOUND;
  RegValue before = std::move(it->second);
  k->values.erase(it);
  commit(valueDeletedRecord(*k, str16(name)), [&] { k->values[foldName(before.name)] = before; });
  return ERROR_SUCCESS;
}

LONG RegistryStore::Impl::deleteKey(HKEY h, const char16_t* subKey) {
  std::shared_ptr<RegKey> from;
  LONG rc = resolve(h, from);
  if (rc != ERROR_SUCCESS) return rc;
  std::vector<std::u16string> parts;
  rc = splitPath(subKey, parts, kMaxKeyDepth - from->depth());
  if (rc != ERROR_SUCCESS) return rc;
  // The key named by the handle itself is not deleted through an empty path.
  if (parts.empty()) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<RegKey> k = walk(from, parts);
  if (!k) return ERROR_FILE_NOT_FOUND;
  const std::string record = persisting() ? keyRecord(*k, true) : std::string();
  RegKey* parent = k->parent;
  removeKey(k);
  commit(record, [&] { restoreKey(k, parent); });
  return ERROR_SUCCESS;
}

LONG RegistryStore::Impl::enumKey(HKEY h, DWORD index, char16_t* name, DWORD* nameChars, char16_t* cls,
                                  DWORD* classChars) const {
  if (!name || !nameChars) return ERROR_INVALID_PARAMETER;
  if (cls && !classChars) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<RegKey> k;
  LONG rc = resolve(h, k);
  if (rc != ERROR_SUCCESS) return rc;
  if (index >= k->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  auto it = k->subkeys.begin();
  std::advance(it, index);
  const std::u16string& n = it->second->name;
  if (*nameChars < n.size() + 1) return ERROR_MORE_DATA;
  // Keys have no class; a class buffer receives the empty text.
  if (cls && *classChars < 1) return ERROR_MORE_DATA;
  std::memcpy(name, n.data(), n.size() * sizeof(char16_t));
  name[n.size()] = 0;
  *nameChars = static_cast<DWORD>(n.size());
  if (cls) {
    cls[0] = 0;
    *classChars = 0;
  }
  return ERROR_SUCCESS;
}

// ---------------------------------------------------------------------------
// RegistryStore.

RegistryStore::RegistryStore(std::filesystem::path file, Accounting& accounting)
    : impl_(std::make_unique<Impl>(std::move(file), accounting)) {
  if (!impl_->file.empty()) impl_->load();
}

RegistryStore::~RegistryStore() { impl_->close(); }

void RegistryStore::seedDefaults() {
  // A new device's first file holds the factory values from the start, so
  // that a device folder never has a registry.reg without them.
  struct Batch {
    Impl& m;
    explicit Batch(Impl& impl) : m(impl) { ++m.batchDepth; }
    ~Batch() { --m.batchDepth; }
  };
  {
    Batch batch(*impl_);
    setValue("HKCR\\.wmv", "", REG_SZ, stringBytes("WMVFile"));
    setValue("HKCR\\WMVFile\\Shell\\Open\\Command", "", REG_SZ,
             stringBytes("\"\\Windows\\wmplayer.exe\" \"%1\""));
  }
  if (!impl_->file.empty()) impl_->compact();
}

std::string RegistryStore::exportText() const { return formatRegText(impl_->roots); }

namespace {

// A scripting key path taken apart: its root, the text below the root and
// that text's key names. Throws DeviceError for a bad root or a malformed
// path.
struct SplitKeyPath {
  HKEY root;
  std::u16string subKey;
  std::vector<std::u16string> parts;
};

SplitKeyPath splitKeyPath(const std::string& path) {
  size_t cut = path.find('\\');
  std::string rootName = path.substr(0, cut);
  const RegRoot* root = findRoot(rootName);
  if (!root)
    throw DeviceError("\"" + rootName +
                      "\" is not a registry root (expected HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT, "
                      "HKEY_CURRENT_USER, HKLM, HKCR or HKCU)");
  SplitKeyPath kp{root->handle, cut == std::string::npos ? std::u16string() : widen(path.substr(cut + 1)), {}};
  if (RegistryStore::Impl::splitPath(kp.subKey.c_str(), kp.parts) != ERROR_SUCCESS) {
    // A path may be very long: the message shows its start.
    const std::string shown = path.size() > 80 ? path.substr(0, 77) + "..." : path;
    throw DeviceError("\"" + shown + "\" is not a valid key path (at most " + std::to_string(kMaxKeyDepth) +
                      " key names below the root, each of 1 to " + std::to_string(kMaxKeyName) +
                      " printable characters, separated by single backslashes)");
  }
  return kp;
}

std::shared_ptr<RegKey> findKey(const RegistryStore::Impl& m, const std::string& keyPath) {
  const SplitKeyPath kp = splitKeyPath(keyPath);
  return m.walk(m.rootKey(kp.root), kp.parts);
}

}  // namespace

RegistryStore::KeyPath RegistryStore::parseKeyPath(const std::string& path) {
  SplitKeyPath kp = splitKeyPath(path);
  return KeyPath{kp.root, std::move(kp.subKey)};
}

void RegistryStore::setValue(const std::string& keyPath, const std::string& name, DWORD type,
                             std::vector<uint8_t> bytes) {
  const SplitKeyPath kp = splitKeyPath(keyPath);
  std::shared_ptr<RegKey> made;
  std::shared_ptr<RegKey> k = impl_->makePath(impl_->rootKey(kp.root), kp.parts, nullptr, &made);
  impl_->setCommitted(k, made, widen(name), type, std::move(bytes));
}

std::optional<RegistryStore::Value> RegistryStore::getValue(const std::string& keyPath,
                                                            const std::string& name) const {
  auto k = findKey(*impl_, keyPath);
  if (!k) return std::nullopt;
  const RegValue* v = k->value(widen(name));
  if (!v) return std::nullopt;
  return Value{v->type, v->data};
}

bool RegistryStore::deleteValue(const std::string& keyPath, const std::string& name) {
  auto k = findKey(*impl_, keyPath);
  if (!k) return false;
  auto it = k->values.find(foldName(widen(name)));
  if (it == k->values.end()) return false;
  RegValue before = std::move(it->second);
  k->values.erase(it);
  impl_->commit(valueDeletedRecord(*k, widen(name)), [&] { k->values[foldName(before.name)] = before; });
  return true;
}

bool RegistryStore::deleteKey(const std::string& keyPath) {
  auto k = findKey(*impl_, keyPath);
  if (!k) return false;
  if (!k->parent) throw DeviceError("\"" + keyPath + "\": a root key cannot be deleted");
  const std::string record = impl_->persisting() ? keyRecord(*k, true) : std::string();
  RegKey* parent = k->parent;
  impl_->removeKey(k);
  impl_->commit(record, [&] { Impl::restoreKey(k, parent); });
  return true;
}

bool RegistryStore::keyExists(const std::string& keyPath) const { return findKey(*impl_, keyPath) != nullptr; }

std::vector<std::string> RegistryStore::subkeys(const std::string& keyPath) const {
  std::vector<std::string> out;
  if (auto k = findKey(*impl_, keyPath))
    for (const auto& [_, sub] : k->subkeys) out.push_back(narrow(sub->name));
  return out;
}

std::vector<uint8_t> RegistryStore::stringBytes(const std::string& utf8) { return stringBytes(widen(utf8)); }

std::vector<uint8_t> RegistryStore::stringBytes(const std::u16string& w) {
  std::vector<uint8_t> out;
  out.reserve((w.size() + 1) * 2);
  for (char16_t c : w) {
    out.push_back(static_cast<uint8_t>(c & 0xFF));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

std::u16string RegistryStore::textOf(const std::vector<uint8_t>& bytes) {
  std::u16string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char16_t c = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    if (!c) break;
    text += c;
  }
  return text;
}

std::vector<uint8_t> RegistryStore::dwordBytes(DWORD v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

}  // namespace wince
