// Words of a line of the text files the device's tools and programs read
// (scenario scripts), and one-line error texts.
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
// Control bytes are shown as \xNN and words longer than 64 bytes by their
// two ends, so that a message stays one readable line whatever it quotes.
std::string oneLine(std::string text);

// Why a line of a text file is not text: a NUL byte, bytes that are not
// UTF-8, or more than `maxBytes` bytes. Empty when it is text.
std::string textLineProblem(const std::string& line, size_t maxBytes);

}  // namespace crestune
