// The shape of a scenario script's line: a command's usage text read as a
// pattern, and a line's words matched against the patterns of all commands.
#pragma once
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace crestune::script {

// A line that cannot run, or a check that did not hold: the message says
// what was expected and what was found.
struct ScriptError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// What a placeholder stands for (see kinds() in script_shape.cpp).
struct Kind;

// A line's words as its pattern named them.
struct Line {
  std::vector<std::string> words;
  // The words of a trailing [NAME] or [NAME...].
  std::vector<std::string> rest;

  // Whether the line has a word for this placeholder or option.
  bool has(const std::string& name) const { return find(name) != nullptr; }
  // The word of a placeholder or option the pattern has (and the line, for
  // an option: ask has() first).
  const std::string& operator[](const std::string& name) const;
  // The same word read as the number it was checked to be.
  long long number(const std::string& name) const;

  // A placeholder's word by its name ("X", "KEY"), an option's value by the
  // option's word ("size", "scale"): the name is the shape's, `at` the
  // word's place among `words`.
  struct Named {
    const std::string* name;
    size_t at;
  };
  static constexpr size_t kMaxNamed = 8;
  Named named[kMaxNamed] = {};
  size_t namedCount = 0;

 private:
  const std::string* find(const std::string& name) const;
};

// A usage text read as a pattern, word by word:
//   set            that word itself
//   true|false     one of these words
//   X, KEY, TEXT   a word of the kind the placeholder names (see kinds() in
//                  script_shape.cpp); a number kind has its range
//   [size N]       an option: the word and its value, after the fixed part,
//                  in any order, each at most once
//   [NAME]         an optional last word
//   [STEP...]      any number of last words
// The first word is the command.
class Shape {
 public:
  // A usage it cannot read is a mistake in the command table.
  explicit Shape(std::string usage);
  const std::string& usage() const { return usage_; }

  struct Token {
    std::vector<std::string> words;  // a word or a choice: the words it accepts
    std::string placeholder;         // otherwise: the placeholder's name
    const Kind* kind = nullptr;      // and the kind it is checked as
  };
  struct Option {
    std::string word;
    Token value;
  };

  // Why the words do not fit: where, and whether a word there is not one of
  // the words the pattern has there (`token`, or the options not given yet
  // as bits of `options`), or the words are too many or too few, or a word
  // is not of its kind (`error`).
  struct Misfit {
    size_t at = 0;
    const Token* token = nullptr;
    unsigned options = 0;
    std::string error;
  };
  // Answers true when the words fit, without copying them.
  bool match(const std::vector<std::string>& words, Misfit& misfit) const;
  // The words the pattern has where the misfit is, for messages.
  std::vector<std::string> wanted(const Misfit& misfit) const;
  // The line of words that fit, as the pattern names them.
  Line read(std::vector<std::string> words) const;
  // Whether the line has every word of this pattern's fixed part that its
  // length reaches, one of them at or past `from`: `check menu at 1` has the
  // words of `check menu at X Y` and is not a list of entries.
  bool hasWordsFrom(const std::vector<std::string>& words, size_t from) const;
  // How many of the fixed words are words rather than placeholders: of two
  // shapes a line has, the one with more says more about it.
  size_t wordCount() const;
  // Whether a line of this many words could have the shape.
  bool admits(size_t count) const;
  // Whether a line beginning with this word is of this command.
  bool isCommand(const std::string& word) const { return word == command_; }
  // How many words come before the optional ones.
  size_t fixedSize() const { return fixed_.size(); }

 private:
  // Walks the words along the pattern: `visit(at, token, name)` for every
  // word a placeholder or option takes. Answers false with the misfit when
  // the words are not where the pattern wants them.
  template <class Visit>
  bool walk(const std::vector<std::string>& words, Misfit& misfit, Visit&& visit) const;

  std::string usage_;
  std::string command_;  // the first word
  std::vector<Token> fixed_;
  std::vector<Option> options_;
  Token tail_;
  bool hasTail_ = false;
  bool tailRepeats_ = false;
};

// The shape the words fit. Of the shapes whose words a line has (right
// number, right words where the shape has words), the one with the most
// words decides, the first in order among equals: `check menu at X Y` over
// `check menu [ENTRY...]`. When it fits only but for a placeholder's word,
// that word is the error; a line with the words of one shape and the
// number of another that takes any last words is the first's with words
// too few or too many; when no shape has the line's words, throws
// ScriptError with what the closest shapes expected and what the line
// holds.
size_t chooseShape(const std::vector<Shape>& shapes, const std::vector<std::string>& words);

// A whole word as an integer: decimal digits (a leading zero does not make
// it octal), or hex digits after 0x; a leading minus for a negative. Throws
// ScriptError naming `what` when it is no number or lies outside [lo, hi].
long long readNumber(const std::string& word, std::string_view what, long long lo, long long hi);

// The words of a line as they could be written again, for messages.
std::string joinWords(const std::vector<std::string>& words);

}  // namespace crestune::script
