// Splitting a line into words, and flattening a message to one line.
#include "words.h"

#include <stdexcept>

namespace crestune {

std::vector<std::string> splitWords(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false, quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quoted) {
      if (c == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) {
        word += line[++i];
      } else if (c == '"') {
        quoted = false;
      } else {
        word += c;
      }
    } else if (c == '"') {
      quoted = inWord = true;
    } else if (c == ' ' || c == '\t') {
      if (inWord) words.push_back(word), word.clear(), inWord = false;
    } else if (c == '#' && !inWord) {
      break;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (quoted) throw std::invalid_argument("a quoted text is not closed");
  if (inWord) words.push_back(word);
  return words;
}

namespace {

constexpr size_t kLongWord = 64;  // longer words are shown by their two ends
constexpr size_t kWordEnd = 28;

// The first `n` bytes of a word, or the last, without cutting a UTF-8
// character in two.
size_t charStart(const std::string& s, size_t at) {
  while (at > 0 && at < s.size() && (static_cast<unsigned char>(s[at]) & 0xC0) == 0x80) --at;
  return at;
}

std::string shortened(const std::string& word) {
  if (word.size() <= kLongWord) return word;
  size_t head = charStart(word, kWordEnd), tail = charStart(word, word.size() - kWordEnd);
  return word.substr(0, head) + "..." + word.substr(tail);
}

}  // namespace

std::string oneLine(std::string text) {
  std::string out, word;
  auto flush = [&] { out += shortened(word), word.clear(); };
  for (char c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if (c == '\n' || c == '\r' || c == ' ' || c == '\t') {
      flush();
      out += ' ';
    } else if (u < 0x20 || u == 0x7F) {
      static const char hex[] = "0123456789abcdef";
      word += std::string("\\x") + hex[u >> 4] + hex[u & 15];
    } else {
      word += c;
    }
  }
  flush();
  return out;
}

std::string textLineProblem(const std::string& line, size_t maxBytes) {
  if (line.size() > maxBytes) return "a line longer than " + std::to_string(maxBytes) + " bytes";
  for (size_t i = 0; i < line.size();) {
    unsigned char c = static_cast<unsigned char>(line[i]);
    if (c == 0) return "a NUL byte at column " + std::to_string(i + 1);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    bool whole = n != 0 && i + n <= line.size();
    for (size_t k = 1; whole && k < n; ++k) whole = (static_cast<unsigned char>(line[i + k]) & 0xC0) == 0x80;
    if (!whole) return "not UTF-8 text at column " + std::to_string(i + 1);
    i += n;
  }
  return {};
}

}  // namespace crestune
