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
struct InstallResult;

// Checks every line's shape (its command, its number of words, its numbers
// and their ranges, its keywords, its quotes) without touching a device.
// Answers false after writing the first mistake to `err` as one line,
// "<file>:<line>: <what was expected>, <what was found>".
bool checkScript(const std::string& fileName, const std::vector<std::string>& lines, std::ostream& err);

// Checks the script as checkScript does and then runs its lines; answers
// the process exit status (0 when every line ran and every check held).
// Errors are written to `err` as one line each: "<file>:<line>: <what>".
// `lastInstall`, when given, receives how the last install or uninstall of
// the script ended.
int runScript(Session& session, const std::string& fileName, const std::vector<std::string>& lines, std::ostream& out,
              std::ostream& err, InstallResult* lastInstall = nullptr);

// The commands a script may use, each as its usage on one line and what it
// does, indented, on the next.
void writeScriptCommands(std::ostream& out);

}  // namespace crestune
