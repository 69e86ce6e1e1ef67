// The device's registry: an in-memory tree of keys and typed values, kept in
// the device folder as a REGEDIT5 text file and a journal beside it of the
// changes made since the file was written; a kill at any moment leaves the
// registry as it was before or after each change.
#pragma once
#include <windows.h>

#include <filesystem>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace wince {

class Accounting;

class RegistryStore {
 public:
  // file empty: kept in memory only. A journal left beside the file by a run
  // that did not end is read too, and folded into the file. A damaged file
  // or journal throws DeviceError naming it and the line, and is left as it
  // was.
  RegistryStore(std::filesystem::path file, Accounting& accounting);
  // Writes the file whole (and syncs it) when there were changes.
  ~RegistryStore();
  RegistryStore(const RegistryStore&) = delete;
  RegistryStore& operator=(const RegistryStore&) = delete;
  // A store kept in memory only, holding the keys and values of REGEDIT5
  // text as the file holds it (UTF-8 with or without a byte-order mark, or
  // UTF-16LE). Damaged text throws DeviceError naming `source` and the line.
  static std::unique_ptr<RegistryStore> fromText(const std::string& text, const std::string& source,
                                                 Accounting& accounting);

  // What a device has when it leaves the factory (the .wmv association...),
  // written to the file at once.
  void seedDefaults();
  // The whole registry as REGEDIT5 text, as it is written to the file.
  std::string exportText() const;

  // Helpers for the device's scripting tool. Key paths name their root in
  // full or abbreviated: "HKLM\\SOFTWARE\\X", "HKEY_CLASSES_ROOT\\.wmv",
  // "HKCU". Names are UTF-8; an empty value name is the default value. A bad
  // root or a malformed path (a key name of more than 255 characters, keys
  // more than 16 levels below the root) throws DeviceError, as does a change
  // that cannot be written to the device folder.
  struct KeyPath {
    HKEY root;
    std::u16string subKey;  // "" for the root itself
  };
  struct Value {
    DWORD type = REG_NONE;
    std::vector<uint8_t> bytes;
    bool operator==(const Value&) const = default;
  };
  static KeyPath parseKeyPath(const std::string& path);
  // Creates the key (and the keys above it) when missing.
  void setValue(const std::string& keyPath, const std::string& name, DWORD type,
                std::vector<uint8_t> bytes);
  std::optional<Value> getValue(const std::string& keyPath, const std::string& name) const;
  // False when there was nothing to delete.
  bool deleteValue(const std::string& keyPath, const std::string& name);
  // Deletes the key with everything below it; a root cannot be deleted.
  bool deleteKey(const std::string& keyPath);
  bool keyExists(const std::string& keyPath) const;
  // Names of the direct subkeys in enumeration order; empty for a missing key.
  std::vector<std::string> subkeys(const std::string& keyPath) const;
  // Value bytes as the API stores them: UTF-16LE text with its terminator,
  // a little-endian DWORD.
  static std::vector<uint8_t> stringBytes(const std::string& utf8);
  static std::vector<uint8_t> stringBytes(const std::u16string& text);
  static std::vector<uint8_t> dwordBytes(DWORD v);
  // The text of string value bytes: UTF-16LE up to the first terminator (or
  // the last whole character when there is none).
  static std::u16string textOf(const std::vector<uint8_t>& bytes);

  struct Impl;
  Impl& impl() { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace wince
