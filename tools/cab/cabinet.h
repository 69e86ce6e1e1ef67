// Windows CE CAB files through libgcab: the members of a cabinet in memory,
// and a package's CAB (its install script and numbered files) built from
// them or opened from them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "install_script.h"
#include "package.h"

namespace cab {

struct Member {
  std::string name;
  std::vector<uint8_t> bytes;
};

// Writes the members, in their order, as one uncompressed folder. Throws
// FormatError naming the file when it cannot be written.
void writeCabinet(const std::filesystem::path& file, const std::vector<Member>& members);

// Every member of a cabinet, in the cabinet's order. Throws FormatError for
// what is not a cabinet or cannot be extracted.
std::vector<Member> readCabinet(const uint8_t* data, size_t size);
std::vector<Member> readCabinetFile(const std::filesystem::path& file);

// The number of the setup library's member.
constexpr unsigned kSetupNumber = 999;

// A package's CAB: its install script first (named after the application),
// then the numbered files from the highest number down. `contents` maps each
// file's number (and kSetupNumber for the setup library) to its bytes;
// `names` the same numbers to the files' own names, for the members' 8.3
// names.
std::vector<Member> packageMembers(const Package& package, const std::map<unsigned, std::vector<uint8_t>>& contents,
                                   const std::map<unsigned, std::string>& names);

// A CAB opened as a package: the script read and resolved, every file it
// names there. Throws FormatError for no .000 member or two, a damaged
// script, a member whose name has no number, two members with one number, a
// file of the script without its member.
struct OpenedCab {
  std::string scriptName;  // "CRESTUNE.000"
  InstallScript script;
  Package package;
  std::map<unsigned, std::vector<uint8_t>> members;  // by number, the .000 left out
  bool hasSetup() const { return members.count(kSetupNumber) != 0; }
};
OpenedCab openCab(std::vector<Member> members);

}  // namespace cab
