// Words of a line of the text files the device's tools and programs read
// (scenario scripts), and one-line error texts.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace crestune {

// Splits a script line into words; double quotes group words, inside which
// a backslash escapes a double quote or a backslash. Throws std::invalid_argument for an unclosed quote.
std::vector<std::string> splitWords(std::string_view line);

// The text with its line breaks turned into spaces, for an error that must
// take one line: a message built from a path or a script's words may hold
// breaks.
// Control bytes are shown as \xNN and words longer than 64 bytes by their
// two ends, so that a message stays one readable line whatever it quotes.
std::string oneLine(std::string text);

// One character of UTF-8 text read strictly: a code point of U+0001 to
// U+10FFFF, not a surrogate, in its shortest form. `size` is the bytes it
// took; `problem` says why the bytes at `at` are no such character (a NUL,
// an overlong form, a surrogate, a code point past U+10FFFF, a character
// cut short, a continuation byte without its lead, a byte UTF-8 never has)
// and names them, or is empty.
struct Utf8Char {
  char32_t code = 0;
  size_t size = 0;
  std::string problem;
};
Utf8Char readUtf8(std::string_view text, size_t at);

// Why a line of a text file is not text: a NUL byte, bytes that are not
// UTF-8 as readUtf8 reads it, or more than `maxBytes` bytes. Empty when it
// is text.
std::string textLineProblem(std::string_view line, size_t maxBytes);

}  // namespace crestune
