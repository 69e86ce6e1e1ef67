// A package as its install script describes it, with the string and
// directory numbers resolved: where each file goes, which registry values
// are written, which devices it is for. compose() numbers it into an
// InstallScript, resolve() reads one back; the installation folder is the
// first entry of the DIRS section.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "install_script.h"

namespace cab {

struct Package {
  struct File {
    uint16_t number = 0;  // its CAB member's extension
    std::string folder;   // as the script holds it: "%CE2%", "%CE1%\Crestune"
    std::string name;
    uint32_t flags = 0;
    bool operator==(const File&) const = default;
  };
  struct Value {
    uint16_t root = kHklm;
    std::string key;   // below the root: "Software\Microsoft\Today\Items\WMP Crestune"
    std::string name;  // empty for the key's default value
    uint32_t type = kTypeSz;  // with kNoClobber
    std::vector<uint8_t> data;
    bool substitute = false;  // %InstallDir% and %CEn% in the data are filled in at installation
    bool operator==(const Value&) const = default;
  };
  std::string appName, provider;
  uint32_t processor = kProcessorAny;
  uint32_t minMajor = 0, minMinor = 0, maxMajor = 0, maxMinor = 0, minBuild = 0, maxBuild = 0;
  std::vector<std::string> unsupported;
  std::string installDir;  // as the script holds it: "%CE1%\Crestune"
  std::vector<File> files;
  std::vector<Value> values;
  size_t links = 0;  // shortcuts the script asks for (resolve only counts them)
  bool operator==(const Package&) const = default;
};

// The script of a package: every text once in STRINGS, the installation
// folder first in DIRS, then each file's folder and each value's key.
InstallScript compose(const Package& package);

// Throws FormatError when the script names no installation folder.
Package resolve(const InstallScript& script);

// A folder of the script as a device path: "%CE2%\x" is "\Windows\x",
// "%InstallDir%" the installation folder (itself resolved first). Throws
// FormatError for a %CEn% the Pocket PC does not have.
std::string devicePath(const std::string& folder, const std::string& installDir);

// A value's text with %InstallDir% and the %CEn% folders filled in.
std::string substitute(const std::string& text, const std::string& installDir);

// Registry roots as their short names ("HKLM") and back (0 if none).
std::string rootName(uint16_t root);
uint16_t rootOf(const std::string& name);

// The 8.3 name CAB Wizard gives a member: up to eight characters of the
// file's name (uppercase, without spaces, dots or its extension; a name past
// eight shortened to six and ~N, N counting the names that share those six;
// a shorter one padded on the left with 0) and the member's number as three
// digits: "crestitem.dll" as 1 is "CRESTI~1.001", "setup.dll" as 999
// "000SETUP.999". `used` holds the prefixes already given.
std::string memberName(const std::string& fileName, unsigned number, std::map<std::string, int>& used);

}  // namespace cab
