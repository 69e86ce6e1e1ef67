// The package's description as CAB Wizard reads it: a Windows .inf with the
// CE sections ([Version] with its two signatures, [CEStrings], [CEDevice],
// [DefaultInstall] with CopyFiles, AddReg and CESetupDLL, [DestinationDirs],
// [SourceDisksNames], [SourceDisksFiles], the file lists and the registry
// lists they name).
//
// %name% is replaced by the [Strings] or [CEStrings] entry of that name when
// the .inf is read; %CEn% (the device's standard folders) and %InstallDir%
// (where the user installs) stay for the device: folders keep %CEn% in the
// install script's DIRS, and a registry value that holds either gets the
// script's substitution flag.
#pragma once

#include <string>
#include <vector>

#include "package.h"

namespace cab {

struct InfSource {
  unsigned number = 0;  // the CAB member's number (999: the setup library)
  std::string name;     // the file's name in [SourceDisksFiles]
  std::string folder;   // its disk's path in [SourceDisksNames] (may be empty)
};

struct Inf {
  Package package;
  std::vector<InfSource> sources;  // the files by number, the setup library last
};

// Throws FormatError "SOURCE:LINE: what" (or "SOURCE: what") for what CAB
// Wizard would refuse or this package cannot hold.
Inf readInf(const std::string& text, const std::string& source);

}  // namespace cab
