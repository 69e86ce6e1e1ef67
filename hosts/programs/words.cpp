// Splitting a line into words, and flattening a message to one line.
#include "words.h"

#include <cstdio>
#include <stdexcept>

namespace crestune {

std::vector<std::string> splitWords(std::string_view line) {
  std::vector<std::string> words;
  words.reserve(4);  // most lines have a few words: one allocation
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
      if (inWord) words.push_back(std::move(word)), word.clear(), inWord = false;
    } else if (c == '#' && !inWord) {
      break;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (quoted) throw std::invalid_argument("a quoted text is not closed");
  if (inWord) words.push_back(std::move(word));
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

namespace {

std::string hexBytes(std::string_view text, size_t at, size_t count) {
  static const char hex[] = "0123456789ABCDEF";
  std::string s;
  for (size_t k = 0; k < count && at + k < text.size(); ++k) {
    unsigned char b = static_cast<unsigned char>(text[at + k]);
    s += std::string(k ? " " : "") + hex[b >> 4] + hex[b & 15];
  }
  return s;
}

std::string codePoint(char32_t c) {
  char s[16];
  std::snprintf(s, sizeof s, "U+%04X", static_cast<unsigned>(c));
  return s;
}

}  // namespace

Utf8Char readUtf8(std::string_view text, size_t at) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  if (lead == 0) return {0, 1, "a NUL byte"};
  if (lead < 0x80) return {lead, 1, {}};
  if (lead < 0xC0) return {0, 1, "a continuation byte without its lead (" + hexBytes(text, at, 1) + ")"};
  if (lead >= 0xFE) return {0, 1, "a byte that UTF-8 never has (" + hexBytes(text, at, 1) + ")"};
  // The lead says how many bytes follow: 1 to 5 (the forms of 5 and 6 bytes
  // are read only to say what they hold).
  const size_t size = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF8 ? 4 : lead < 0xFC ? 5 : 6;
  char32_t c = lead & (0x7F >> size);
  for (size_t k = 1; k < size; ++k) {
    if (at + k >= text.size() || (static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80)
      return {0, k, "a character cut short (" + hexBytes(text, at, k) + ")"};
    c = (c << 6) | (static_cast<unsigned char>(text[at + k]) & 0x3F);
  }
  static const char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000, 0x200000, 0x4000000};
  const std::string bytes = " (" + hexBytes(text, at, size) + ")";
  if (c < kLeast[size]) return {0, size, "an overlong form of " + codePoint(c) + bytes};
  if (c > 0x10FFFF) return {0, size, "a code point past U+10FFFF, " + codePoint(c) + bytes};
  if (c >= 0xD800 && c < 0xE000) return {0, size, "a UTF-16 surrogate, " + codePoint(c) + bytes};
  return {c, size, {}};
}

std::string textLineProblem(std::string_view line, size_t maxBytes) {
  if (line.size() > maxBytes) return "a line longer than " + std::to_string(maxBytes) + " bytes";
  for (size_t i = 0; i < line.size();) {
    if (line[i] == 0) return "a NUL byte at column " + std::to_string(i + 1);
    if (static_cast<unsigned char>(line[i]) < 0x80) {
      ++i;
      continue;
    }
    Utf8Char c = readUtf8(line, i);
    if (!c.problem.empty()) return "not UTF-8 text at column " + std::to_string(i + 1) + ": " + c.problem;
    i += c.size;
  }
  return {};
}

}  // namespace crestune
