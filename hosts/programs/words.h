// Words of a line of the text files the device's tools and programs read
// (scenario scripts, the package manifest), and one-line error texts.
#pragma once
#include <string>
#include <vector>

namespace crestune {

// Splits a script line into words; double quotes group words, inside which
// a backslash escapes a double quote or a backslash. Throws std::invalid_argument for an unclosed quote.
std::vector<std::string> splitWords(const std::string& line);

// The text with its line breaks turned into spaces, for an error that must
// take one line: a message built from a path or a script's words may hold
// breaks.
std::string oneLine(std::string text);

}  // namespace crestune
