// Scenario scripts: one command a line, run against an emulated device.
#pragma once
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "words.h"

namespace crestune {

class Session;

// Runs the script's lines; answers the process exit status (0 when every
// line ran and every check held). Errors are written to `err` as one line
// each: "<file>:<line>: <what>".
int runScript(Session& session, const std::string& fileName, const std::vector<std::string>& lines, std::ostream& out,
              std::ostream& err);


}  // namespace crestune
