// The shape of a scenario script's line: a command's usage text read as a
// pattern, and a line's words matched against the patterns of all commands.
#pragma once
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace crestune::script {

// A line that cannot run, or a check that did not hold: the message says
// what was expected and what was found.
struct ScriptError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A line's words as its pattern named them.
struct Line {
  std::vector<std::string> words;
  // A placeholder's word under its name ("X", "KEY"); an option's value
  // under the option's word ("size", "scale").
  std::map<std::string, std::string> values;
  // The words of a trailing [NAME] or [NAME...].
  std::vector<std::string> rest;

  bool has(const std::string& name) const { return values.count(name) != 0; }
  // The word of a placeholder or option the pattern has (and the line, for
  // an option: ask has() first).
  const std::string& operator[](const std::string& name) const;
  // The same word read as the number it was checked to be.
  long long number(const std::string& name) const;
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
    std::string kind;                // and the kind it is checked as
  };
  struct Option {
    std::string word;
    Token value;
  };

  // Why the words do not fit: where, and whether a word there is not one of
  // the words the pattern has there (`wanted`), or the words are too many
  // or too few, or a word is not of its kind (`error`).
  struct Misfit {
    size_t at = 0;
    std::vector<std::string> wanted;
    std::string error;
  };
  // Fills `line` and answers true when the words fit.
  bool match(const std::vector<std::string>& words, Line& line, Misfit& misfit) const;
  // How many of the fixed words are words rather than placeholders: of two
  // shapes a line has, the one with more says more about it.
  size_t wordCount() const;
  // Whether a line of this many words could have the shape.
  bool admits(size_t count) const;
  // How many words come before the optional ones.
  size_t fixedSize() const { return fixed_.size(); }

 private:
  std::string usage_;
  std::vector<Token> fixed_;
  std::vector<Option> options_;
  Token tail_;
  bool hasTail_ = false;
  bool tailRepeats_ = false;
};

// The shape the words fit, with the line as it names them. Of the shapes
// whose words a line has (right number, right words where the shape has
// words), the one with the most words decides, the first in order among
// equals: `check menu at X Y` over `check menu [ENTRY...]`. When it fits
// only but for a placeholder's word, that word is the error; when no shape
// has the line's words, throws ScriptError with what the closest shapes
// expected and what the line holds.
size_t chooseShape(const std::vector<Shape>& shapes, const std::vector<std::string>& words, Line& line);

// A whole word as an integer: decimal digits (a leading zero does not make
// it octal), or hex digits after 0x; a leading minus for a negative. Throws
// ScriptError naming `what` when it is no number or lies outside [lo, hi].
long long readNumber(const std::string& word, const std::string& what, long long lo, long long hi);

// The words of a line as they could be written again, for messages.
std::string joinWords(const std::vector<std::string>& words);

}  // namespace crestune::script
