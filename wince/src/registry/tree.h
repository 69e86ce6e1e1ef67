// The registry's insides, shared by the store, the text file reader/writer,
// the journal and the API functions: the key tree, the open-handle table and
// the operations the API is built from. Every operation answers a Win32
// error code; none of them touches caller memory.
#pragma once
#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "device/unique_fd.h"
#include "registry_store.h"

namespace wince {

// Windows CE's limits on keys (RegCreateKeyEx): a key name has at most 255
// characters, and keys nest at most 16 levels below a root, so a whole path
// below its root has at most 16 * 256 - 1 characters.
constexpr size_t kMaxKeyName = 255;
constexpr size_t kMaxKeyDepth = 16;

// Key and value names compare without regard to case; the case they were
// created with is kept for enumeration and export.
std::u16string foldName(const std::u16string& name);

struct RegValue {
  std::u16string name;  // as first written; empty is the default value
  DWORD type = REG_NONE;
  std::vector<uint8_t> data;
};

struct RegKey {
  std::u16string name;
  RegKey* parent = nullptr;  // null for a root and for a deleted key
  bool deleted = false;
  // Both maps are ordered by folded name, which is the enumeration order.
  std::map<std::u16string, std::shared_ptr<RegKey>> subkeys;
  std::map<std::u16string, RegValue> values;

  RegKey* child(const std::u16string& name) const;
  // Levels below its root: 0 for a root.
  size_t depth() const;
  // "HKEY_LOCAL_MACHINE\\SOFTWARE\\X", as the text file names it.
  std::string pathText() const;
  const RegValue* value(const std::u16string& name) const;
  // Sets a value; one that exists keeps the case of its name.
  void put(const std::u16string& name, DWORD type, std::vector<uint8_t> data);
};

// The predefined keys, in the order the text file lists them.
struct RegRoot {
  HKEY handle;
  const char* name;    // "HKEY_LOCAL_MACHINE"
  const char* abbrev;  // "HKLM"
};
extern const RegRoot kRegRoots[3];
// The root a name stands for ("HKLM", "hkey_local_machine"), or null.
const RegRoot* findRoot(const std::string& name);

// The journal kept beside a registry file: "registry.journal" for
// "registry.reg".
std::filesystem::path journalPathOf(const std::filesystem::path& file);

struct RegistryStore::Impl {
  Impl(std::filesystem::path file, Accounting& accounting);

  std::filesystem::path file;  // empty: kept in memory only
  Accounting& accounting;
  std::shared_ptr<RegKey> roots[3];
  std::unordered_map<uintptr_t, std::shared_ptr<RegKey>> handles;
  uintptr_t nextHandle = 0x10000;
  int batchDepth = 0;  // while nonzero, changes are not journalled (the caller compacts)

  // The journal (persist.cpp): open while it holds changes not yet in the
  // file, every one of them whole.
  UniqueFd journal;
  uint64_t journalBytes = 0;
  uint64_t fileBytes = 0;     // the size of the file last written or read
  bool journalTorn = false;   // a failed append may have left part of a change
  bool unsaved = false;       // changes made since the file was last written
  std::string refusal;        // why the file may not be written (read-only); empty when it may

  std::shared_ptr<RegKey> rootKey(HKEY root) const;

  // The key a handle names. ERROR_INVALID_HANDLE for an unknown handle,
  // ERROR_KEY_DELETED when the key has been deleted since it was opened.
  LONG resolve(HKEY h, std::shared_ptr<RegKey>& out) const;
  // A new handle open on `key`, counted as a live key until closed.
  HKEY issueHandle(std::shared_ptr<RegKey> key);

  // Splits "A\B\C" into its components; one trailing backslash is allowed.
  // ERROR_INVALID_PARAMETER for empty, over-long or unprintable components,
  // and for more than `maxDepth` of them.
  static LONG splitPath(const char16_t* path, std::vector<std::u16string>& parts,
                        size_t maxDepth = kMaxKeyDepth);

  LONG open(HKEY base, const char16_t* subKey, HKEY* result);
  LONG create(HKEY base, const char16_t* subKey, HKEY* result, DWORD* disposition);
  LONG close(HKEY h);
  LONG queryValue(HKEY h, const char16_t* name, DWORD* type, BYTE* data, DWORD* size) const;
  LONG setValue(HKEY h, const char16_t* name, DWORD type, const BYTE* data, DWORD size);
  LONG deleteValue(HKEY h, const char16_t* name);
  LONG deleteKey(HKEY h, const char16_t* subKey);
  LONG enumKey(HKEY h, DWORD index, char16_t* name, DWORD* nameChars, char16_t* cls,
               DWORD* classChars) const;

  // Finds (create: makes) the key below `from`; null when missing.
  std::shared_ptr<RegKey> walk(const std::shared_ptr<RegKey>& from,
                               const std::vector<std::u16string>& parts) const;
  // `firstMade`, when given, receives the uppermost key made (null when
  // every key was there).
  static std::shared_ptr<RegKey> makePath(const std::shared_ptr<RegKey>& from,
                                   const std::vector<std::u16string>& parts, bool* created,
                                   std::shared_ptr<RegKey>* firstMade = nullptr);
  void removeKey(const std::shared_ptr<RegKey>& key);
  // Puts a key removeKey took away back below `parent`, with its subtree.
  static void restoreKey(const std::shared_ptr<RegKey>& key, RegKey* parent);

  // Hands a change already made in memory to the journal; when it cannot be
  // written, `undo` takes it back and the error goes on to the caller, so
  // that the registry in memory stays the one the folder holds.
  template <class Undo>
  void commit(const std::string& record, Undo&& undo) {
    if (!persisting()) return;
    try {
      changed(record);
    } catch (...) {
      undo();
      throw;
    }
  }
  // Sets a value, as commit() hands it on: undone, with any key made for it,
  // when the journal refuses it.
  void setCommitted(const std::shared_ptr<RegKey>& k, const std::shared_ptr<RegKey>& firstMade,
                    const std::u16string& name, DWORD type, std::vector<uint8_t> data);

  // The file and its journal (persist.cpp). Each change is appended to the
  // journal as one whole line (nothing when kept in memory only, or while
  // batched); compact() writes the whole tree to the file and drops the
  // journal. Both throw DeviceError when the folder cannot be written.
  void changed(const std::string& record);
  bool persisting() const { return !file.empty() && batchDepth == 0; }
  void compact();
  void load();
  // At the end: compacts when the journal holds anything; never throws (a
  // journal left behind is read back by the next load).
  void close() noexcept;
};

// The REGEDIT5 text of a whole tree, and its reading back. parseRegText
// throws DeviceError("<source>: line N: <what was expected>").
std::string formatRegText(const std::shared_ptr<RegKey> (&roots)[3]);
void parseRegText(const std::string& bytes, const std::string& source,
                  std::shared_ptr<RegKey> (&roots)[3]);

// Journal records: one change a line, in REGEDIT5's own words, the key and
// the value separated by a tab (which no key name holds):
//   [KEY]               the key was made     [-KEY]           it was deleted
//   [KEY]\t"NAME"=DATA  a value was set      [KEY]\t"NAME"=-  it was deleted
std::string keyRecord(const RegKey& key, bool deleted);
std::string valueRecord(const RegKey& key, const RegValue& value);
std::string valueDeletedRecord(const RegKey& key, const std::u16string& name);
// Replays the whole lines of a journal's text (a last line without its line
// break is a change that was never finished, and is left out). Throws
// DeviceError("<source>: line N: ...") for a damaged line.
void replayJournal(const std::string& text, const std::string& source, std::shared_ptr<RegKey> (&roots)[3]);

}  // namespace wince
