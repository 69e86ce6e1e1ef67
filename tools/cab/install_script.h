// The install script of a Windows CE CAB (its ".000" member), as stored:
// the "MSCE" header of 100 bytes, the application and provider names, the
// unsupported platforms, and the STRINGS, DIRS, FILES, REGHIVES, REGKEYS
// and LINKS sections, every multi-byte number little-endian. Paths and key
// paths are lists of string IDs; a directory list may start with a %CEn%
// string, and a registry value with its substitution flag set may hold
// %InstallDir% or %CEn%, which the device's installer fills in.
//
// One reader and one writer, used by the CAB tool, the stand-in's installer,
// the tests and the fuzz target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace cab {

// A .000 (or a CAB, or an .inf) that cannot be read: what is wrong, in words.
class FormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The REGKEYS section's type word.
enum : uint32_t {
  kTypeSz = 0x00000000,
  kTypeBinary = 0x00000001,
  kTypeMultiSz = 0x00010000,
  kTypeDword = 0x00010001,
  kTypeMask = 0x00010001,
  kNoClobber = 0x00000002,
};

// The REGHIVES section's roots.
enum : uint16_t { kHkcr = 1, kHkcu = 2, kHklm = 3, kHku = 4 };

// The FILES section's flags (the same bits as the .inf's CopyFiles flags).
enum : uint32_t {
  kFileWarnIfSkip = 0x00000001,
  kFileNoSkip = 0x00000002,
  kFileNoOverwrite = 0x00000010,
  kFileReplaceOnly = 0x00000400,
  kFileSelfRegister = 0x10000000,
  kFileNoDateDialog = 0x20000000,
  kFileNoDateCheck = 0x40000000,
  kFileShared = 0x80000000,
};

// Processor types of the header, the ones this project uses.
enum : uint32_t {
  kProcessorAny = 0,
  kProcessorStrongArm = 2577,
  kProcessorAmd64 = 8664,  // the stand-in's own build (x86-64 shared objects)
};

struct InstallScript {
  struct String {
    uint16_t id = 0;
    std::string text;
    bool operator==(const String&) const = default;
  };
  struct Dir {
    uint16_t id = 0;
    std::vector<uint16_t> path;  // string IDs, joined with '\'
    bool operator==(const Dir&) const = default;
  };
  struct File {
    uint16_t id = 0;  // the CAB member with this number as its extension
    uint16_t dir = 0;
    uint16_t unknown = 0;  // the file's ID again, as CAB Wizard writes it
    uint32_t flags = 0;
    std::string name;  // the installed file's name
    bool operator==(const File&) const = default;
  };
  struct Hive {
    uint16_t id = 0;
    uint16_t root = 0;  // kHkcr .. kHku
    uint16_t unknown = 0;
    std::vector<uint16_t> path;  // string IDs of the key path below the root
    bool operator==(const Hive&) const = default;
  };
  struct Key {
    uint16_t id = 0;
    uint16_t hive = 0;
    uint16_t substitute = 0;  // 1: %InstallDir% and %CEn% in the data are filled in
    uint32_t type = 0;        // kTypeSz .. kTypeDword, with kNoClobber
    std::string name;         // the value's name; empty for the key's default value
    std::vector<uint8_t> data;
    bool operator==(const Key&) const = default;
  };
  struct Link {
    uint16_t id = 0;
    uint16_t unknown = 0;
    uint16_t base = 0;    // 0: %InstallDir%; n: %CEn%
    uint16_t target = 0;  // a file ID or a directory ID (0: %InstallDir%)
    uint16_t type = 0;    // 0: a directory, 1: a file
    std::vector<uint16_t> path;
    bool operator==(const Link&) const = default;
  };

  uint32_t processor = kProcessorAny;
  // The Windows CE versions the package installs on; 0 is no bound.
  uint32_t minMajor = 0, minMinor = 0, maxMajor = 0, maxMinor = 0, minBuild = 0, maxBuild = 0;
  std::string appName, provider;
  std::vector<std::string> unsupported;  // platforms the package does not run on
  std::vector<String> strings;
  std::vector<Dir> dirs;
  std::vector<File> files;
  std::vector<Hive> hives;
  std::vector<Key> keys;
  std::vector<Link> links;

  bool operator==(const InstallScript&) const = default;
};

// The .000's bytes. Throws FormatError for what the format cannot hold (a
// string past 65534 bytes, a section past 65535 entries, a text with a NUL).
std::vector<uint8_t> writeInstallScript(const InstallScript& script);

// Reads a .000. Throws FormatError naming what is wrong: no MSCE signature,
// a length that is not the file's, a section or a string outside the file, a
// string without its terminating NUL, two entries with one ID, an ID that
// refers to nothing.
InstallScript readInstallScript(const uint8_t* data, size_t size);
inline InstallScript readInstallScript(const std::vector<uint8_t>& bytes) {
  return readInstallScript(bytes.data(), bytes.size());
}

// The text a path of string IDs stands for, joined with '\'.
std::string joinPath(const InstallScript& script, const std::vector<uint16_t>& path);

}  // namespace cab
