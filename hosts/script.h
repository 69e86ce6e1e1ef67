// Scenario scripts: one command a line, run against an emulated device.
#pragma once
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace crestune {

class Session;

// Runs the script's lines; answers the process exit status (0 when every
// line ran and every check held). Errors are written to `err` as one line
// each: "<file>:<line>: <what>".
int runScript(Session& session, const std::string& fileName, const std::vector<std::string>& lines, std::ostream& out,
              std::ostream& err);

// Splits a script line into words; double quotes group words, inside which
// a backslash escapes a double quote or a backslash. Throws std::invalid_argument for an unclosed quote.
std::vector<std::string> splitWords(const std::string& line);

// The text with its line breaks turned into spaces, for an error that must
// take one line: a message built from a path or a script's words may hold
// breaks.
std::string oneLine(std::string text);

}  // namespace crestune
