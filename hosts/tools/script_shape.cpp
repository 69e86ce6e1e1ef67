// Reading usage texts as patterns, the kinds of word a placeholder stands
// for, and matching a line's words against the patterns.
#include "script_shape.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <set>

#include "device.h"
#include "device_error.h"
#include "mpris_bridge.h"
#include "registry_store.h"

namespace crestune::script {

namespace {

// The longest wait a script may ask for: a day of device time.
constexpr long long kMaxWait = 24LL * 3600 * 1000;

bool isHex(const std::string& w) {
  for (char c : w)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return !w.empty();
}

void registryKey(const std::string& w) {
  try {
    wince::RegistryStore::parseKeyPath(w);
  } catch (const wince::DeviceError& e) {
    throw ScriptError(e.what());
  }
}

void hexBytes(const std::string& w) {
  if (w.size() % 2 != 0 || (!w.empty() && !isHex(w)))
    throw ScriptError("expected hex bytes (pairs of hex digits such as 01ff), found \"" + w + "\"");
}

void colour(const std::string& w) {
  if (w.size() != 6 || !isHex(w)) throw ScriptError("expected a colour RRGGBB, found \"" + w + "\"");
}

// A window message as the player receives it: MSG, MSG:WPARAM or
// MSG:WPARAM:LPARAM, each as wide as on the device (32 bits).
void message(const std::string& w) {
  std::vector<std::string> parts(1);
  for (char c : w) {
    if (c == ':') parts.emplace_back();
    else parts.back().push_back(c);
  }
  bool empty = false;
  for (const auto& p : parts) empty = empty || p.empty();
  if (empty || parts.size() > 3)
    throw ScriptError("expected a message MSG, MSG:WPARAM or MSG:WPARAM:LPARAM, found \"" + w + "\"");
  readNumber(parts[0], "a message", 0, UINT_MAX);
  if (parts.size() > 1) readNumber(parts[1], "a wParam", 0, UINT_MAX);
  if (parts.size() > 2) readNumber(parts[2], "an lParam", INT_MIN, UINT_MAX);
}

// A platform function the device can make fail for the product.
void failingCall(const std::string& w) {
  if (wince::FaultPlan::knows(w)) return;
  std::string calls;
  for (const auto& c : wince::FaultPlan::injectable()) calls += std::string(calls.empty() ? "" : ", ") + c.call;
  throw ScriptError("expected a call that can fail (" + calls + "), found \"" + w + "\"");
}

// A desktop player for the substitute player to pass its commands on to.
void desktopPlayer(const std::string& w) {
  if (!mprisChoice(w)) throw ScriptError("expected mpris or mpris:NAME (a player on the session bus), found \"" + w + "\"");
}

void fileName(const std::string& w) {
  if (w.empty()) throw ScriptError("expected a file name, found \"\"");
}

}  // namespace

// What a placeholder stands for. A number has its range; a word may have a
// rule of its own; any other word is taken as it is.
struct Kind {
  const char* name;  // as the usage writes it; "size N" is an N after the word size
  const char* what;  // for messages: "expected milliseconds from 0 to ..."
  bool number;
  long long lo, hi;
  void (*rule)(const std::string&);
};

namespace {

const std::vector<Kind>& kinds() {
  // Pen positions lie on the screen of the device a script runs on.
  static const wince::DeviceOptions device;
  static const long long right = device.screenWidth - 1, bottom = device.screenHeight - 1;
  static const std::vector<Kind> all = {
      {"X", "x", true, 0, right, nullptr},
      {"Y", "y", true, 0, bottom, nullptr},
      {"X1", "x", true, 0, right, nullptr},
      {"Y1", "y", true, 0, bottom, nullptr},
      {"X2", "x", true, 0, right, nullptr},
      {"Y2", "y", true, 0, bottom, nullptr},
      {"MS", "milliseconds", true, 0, kMaxWait, nullptr},
      {"ID", "a control id", true, 0, 0xFFFF, nullptr},
      {"COUNT", "a count", true, 0, 10000, nullptr},
      {"PIXELS", "a height", true, 0, 0xFFFF, nullptr},
      {"STEP", "a step number", true, 1, 10000, nullptr},
      {"dword N", "a dword", true, 0, UINT_MAX, nullptr},
      {"size N", "a data size", true, 0, 65536, nullptr},
      {"enabled N", "a flag", true, 0, 1, nullptr},
      {"order N", "an order", true, 0, UINT_MAX, nullptr},
      {"options N", "a flag", true, 0, 1, nullptr},
      {"scale N", "a scale", true, 1, 8, nullptr},
      {"result N", "a result", true, INT_MIN, INT_MAX, nullptr},
      {"error N", "an error code", true, 0, UINT_MAX, nullptr},
      {"times N", "a count of failures", true, 1, 1000000, nullptr},
      {"after N", "a count of calls", true, 0, 1000000, nullptr},
      {"CALL", "a call", false, 0, 0, failingCall},
      {"KEY", "a registry key", false, 0, 0, registryKey},
      {"BYTES", "hex bytes", false, 0, 0, hexBytes},
      {"RRGGBB", "a colour", false, 0, 0, colour},
      {"MSG", "a message", false, 0, 0, message},
      {"FILE", "a file name", false, 0, 0, fileName},
      {"CAB", "a CAB file", false, 0, 0, fileName},
      {"PLAYER", "a desktop player", false, 0, 0, desktopPlayer},
      {"TEXT", "a text", false, 0, 0, nullptr},
      {"NAME", "a name", false, 0, 0, nullptr},
      {"ITEM", "an item", false, 0, 0, nullptr},
      {"DLL", "a library", false, 0, 0, nullptr},
      {"PATH", "a path", false, 0, 0, nullptr},
      {"CAPTION", "a caption", false, 0, 0, nullptr},
      {"TITLE", "a title", false, 0, 0, nullptr},
      {"ADDRESS", "an address", false, 0, 0, nullptr},
      {"ENTRY", "a menu entry", false, 0, 0, nullptr},
  };
  return all;
}

const Kind* findKind(const std::string& name) {
  for (const Kind& k : kinds())
    if (name == k.name) return &k;
  return nullptr;
}

void checkWord(const Kind& k, const std::string& word) {
  if (k.number) readNumber(word, k.what, k.lo, k.hi);
  else if (k.rule) k.rule(word);
}

bool isPlaceholder(const std::string& t) {
  if (t.empty() || !std::isupper(static_cast<unsigned char>(t[0]))) return false;
  for (char c : t)
    if (!std::isupper(static_cast<unsigned char>(c)) && !std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// A placeholder's token; its kind is "word NAME" when the word before it
// names one (dword N, size N), else its own name.
Shape::Token placeholderToken(const std::string& name, const std::string& before, const std::string& usage) {
  const Kind* kind = findKind(before + " " + name);
  if (!kind) kind = findKind(name);
  if (!kind) throw std::logic_error("usage \"" + usage + "\": no kind of word is called " + name);
  return Shape::Token{{}, name, kind};
}

bool isWordOf(const Shape::Token& t, const std::string& word) {
  for (const auto& w : t.words)
    if (w == word) return true;
  return false;
}

std::string listOf(const std::vector<std::string>& words) {
  std::string s;
  for (size_t i = 0; i < words.size(); ++i) s += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i];
  return s;
}

}  // namespace

const std::string* Line::find(const std::string& name) const {
  for (size_t i = 0; i < namedCount; ++i)
    if (*named[i].name == name) return &words[named[i].at];
  return nullptr;
}

const std::string& Line::operator[](const std::string& name) const {
  const std::string* word = find(name);
  if (!word) throw std::logic_error("the line has no " + name);
  return *word;
}

long long Line::number(const std::string& name) const { return readNumber((*this)[name], name, LLONG_MIN, LLONG_MAX); }

Shape::Shape(std::string usage) : usage_(std::move(usage)) {
  std::vector<std::string> tokens;
  for (size_t at = 0; at < usage_.size();) {
    size_t end = usage_.find(' ', at);
    if (end == std::string::npos) end = usage_.size();
    if (end > at) tokens.push_back(usage_.substr(at, end - at));
    at = end + 1;
  }
  auto bad = [&](const std::string& why) { return std::logic_error("usage \"" + usage_ + "\": " + why); };
  std::string before;
  for (size_t i = 0; i < tokens.size(); ++i) {
    const std::string& t = tokens[i];
    if (t[0] == '[') {
      std::vector<std::string> group = {t.substr(1)};
      while (group.back().empty() || group.back().back() != ']') {
        if (++i == tokens.size()) throw bad("a [ is not closed");
        group.push_back(tokens[i]);
      }
      group.back().pop_back();
      if (hasTail_) throw bad("nothing may follow an optional last word");
      if (group.size() == 2 && !isPlaceholder(group[0]) && isPlaceholder(group[1])) {
        options_.push_back(Option{group[0], placeholderToken(group[1], group[0], usage_)});
      } else if (group.size() == 1) {
        std::string name = group[0];
        tailRepeats_ = name.size() > 3 && name.compare(name.size() - 3, 3, "...") == 0;
        if (tailRepeats_) name.resize(name.size() - 3);
        if (!isPlaceholder(name)) throw bad("[" + group[0] + "] is no placeholder");
        tail_ = placeholderToken(name, "", usage_);
        hasTail_ = true;
      } else {
        throw bad("[...] holds an option (a word and a placeholder) or one placeholder");
      }
      continue;
    }
    if (!options_.empty() || hasTail_) throw bad("the fixed words come before the optional ones");
    if (isPlaceholder(t)) {
      if (i == 0) throw bad("the first word is the command");
      fixed_.push_back(placeholderToken(t, before, usage_));
    } else {
      Token choice;
      for (size_t at = 0; at <= t.size();) {
        size_t end = std::min(t.find('|', at), t.size());
        choice.words.push_back(t.substr(at, end - at));
        at = end + 1;
      }
      fixed_.push_back(choice);
    }
    before = t;
  }
  if (fixed_.empty() || fixed_[0].words.size() != 1) throw bad("no command");
  command_ = fixed_[0].words[0];
  size_t named = options_.size();
  for (const Token& t : fixed_) named += t.placeholder.empty() ? 0 : 1;
  if (named > Line::kMaxNamed) throw bad("more placeholders and options than a line keeps");
  if (options_.size() > 16) throw bad("more options than a line can give");
}

template <class Visit>
bool Shape::walk(const std::vector<std::string>& words, Misfit& misfit, Visit&& visit) const {
  for (size_t i = 0; i < fixed_.size(); ++i) {
    const Token& t = fixed_[i];
    if (i >= words.size() || (t.placeholder.empty() && !isWordOf(t, words[i]))) {
      misfit = Misfit{i, &t, 0, {}};
      return false;
    }
    if (!t.placeholder.empty()) visit(i, t, &t.placeholder);
  }
  unsigned given = 0;
  bool restTaken = false;
  for (size_t i = fixed_.size(); i < words.size();) {
    size_t o = 0;
    while (o < options_.size() && (restTaken || options_[o].word != words[i])) ++o;
    if (o < options_.size()) {
      const Option& option = options_[o];
      if (given & (1u << o)) {
        misfit = Misfit{i, nullptr, 0, "expected \"" + option.word + "\" at most once, found it twice"};
        return false;
      }
      if (i + 1 >= words.size()) {
        misfit = Misfit{i, nullptr, 0, "expected a value after \"" + option.word + "\""};
        return false;
      }
      given |= 1u << o;
      visit(i + 1, option.value, &option.word);
      i += 2;
    } else if (hasTail_ && (tailRepeats_ || !restTaken)) {
      restTaken = true;
      visit(i, tail_, nullptr);
      ++i;
    } else {
      unsigned all = (1u << options_.size()) - 1;
      misfit = Misfit{i, nullptr, restTaken ? 0 : all & ~given, {}};
      return false;
    }
  }
  return true;
}

bool Shape::match(const std::vector<std::string>& words, Misfit& misfit) const {
  // The words of the placeholders are checked once the words are where the
  // pattern wants them: a line of the right shape is the one its writer
  // meant, and what is wrong with it is one of its words.
  if (!walk(words, misfit, [](size_t, const Token&, const std::string*) {})) return false;
  bool kinds = true;
  walk(words, misfit, [&](size_t at, const Token& t, const std::string*) {
    if (!kinds) return;
    try {
      checkWord(*t.kind, words[at]);
    } catch (const ScriptError& e) {
      misfit = Misfit{at, nullptr, 0, e.what()};
      kinds = false;
    }
  });
  return kinds;
}

Line Shape::read(std::vector<std::string> words) const {
  Line line;
  Misfit misfit;
  walk(words, misfit, [&](size_t at, const Token&, const std::string* name) {
    if (!name) line.rest.push_back(words[at]);
    else line.named[line.namedCount++] = Line::Named{name, at};
  });
  line.words = std::move(words);
  return line;
}

std::vector<std::string> Shape::wanted(const Misfit& misfit) const {
  if (misfit.token) return misfit.token->words;
  std::vector<std::string> words;
  for (size_t o = 0; o < options_.size(); ++o)
    if (misfit.options & (1u << o)) words.push_back(options_[o].word);
  return words;
}

bool Shape::hasWordsFrom(const std::vector<std::string>& words, size_t from) const {
  bool reaches = false;
  for (size_t i = 0; i < fixed_.size() && i < words.size(); ++i) {
    if (!fixed_[i].placeholder.empty()) continue;
    if (!isWordOf(fixed_[i], words[i])) return false;
    reaches = reaches || i >= from;
  }
  return reaches;
}

bool Shape::admits(size_t count) const {
  if (count < fixed_.size()) return false;
  // Options take two words each; a last word takes one.
  size_t extra = count - fixed_.size();
  if (tailRepeats_) return true;
  return extra <= 2 * options_.size() + (hasTail_ ? 1 : 0) && (hasTail_ || extra % 2 == 0);
}

size_t Shape::wordCount() const {
  size_t n = 0;
  for (const Token& t : fixed_) n += t.placeholder.empty() ? 1 : 0;
  return n;
}

namespace {

// What the nearest shapes expected of a line that none fits.
[[noreturn]] void throwMisfit(const std::vector<Shape>& shapes, const std::vector<std::string>& words);

}  // namespace

size_t chooseShape(const std::vector<Shape>& shapes, const std::vector<std::string>& words) {
  size_t best = shapes.size();
  bool bestFits = false;
  std::string bestError;
  Shape::Misfit misfit;
  for (size_t i = 0; i < shapes.size(); ++i) {
    if (!shapes[i].isCommand(words[0])) continue;
    bool fits = shapes[i].match(words, misfit);
    if (!fits && misfit.error.empty()) continue;
    if (best == shapes.size() || shapes[i].wordCount() > shapes[best].wordCount() ||
        (shapes[i].wordCount() == shapes[best].wordCount() && fits && !bestFits)) {
      best = i;
      bestFits = fits;
      bestError = std::move(misfit.error);
    }
  }
  if (best == shapes.size()) throwMisfit(shapes, words);
  // A line of some command's shape with a wrong word: that word's fault.
  if (!bestFits) throw ScriptError(bestError);
  // Last words do not take the words of a longer shape.
  const Shape& chosen = shapes[best];
  if (words.size() > chosen.fixedSize())
    for (const Shape& other : shapes)
      if (other.wordCount() > chosen.wordCount() && other.hasWordsFrom(words, chosen.fixedSize()))
        throw ScriptError("expected: " + other.usage() + ", found: " + joinWords(words));
  return best;
}

namespace {

void throwMisfit(const std::vector<Shape>& shapes, const std::vector<std::string>& words) {
  std::vector<Shape::Misfit> misfits(shapes.size());
  for (size_t i = 0; i < shapes.size(); ++i) shapes[i].match(words, misfits[i]);
  size_t furthest = 0;
  for (const auto& m : misfits) furthest = std::max(furthest, m.at);
  if (furthest == 0) throw ScriptError("unknown command \"" + words[0] + "\"");
  // Past the sub-command, the shapes the line could have by its number of
  // words, or whose every fixed word it has, are the ones its writer meant,
  // if there are any: `reg check KEY there` is a key's check with a wrong
  // word, not a value's check cut short.
  std::vector<bool> near(shapes.size());
  if (furthest >= 2) {
    auto meant = [&](size_t i) {
      return misfits[i].at >= 2 && (shapes[i].admits(words.size()) || misfits[i].at >= shapes[i].fixedSize());
    };
    size_t counted = 0;
    for (size_t i = 0; i < shapes.size(); ++i)
      if (meant(i)) counted = std::max(counted, misfits[i].at);
    if (counted) furthest = counted;
    for (size_t i = 0; i < shapes.size(); ++i) near[i] = misfits[i].at == furthest && (!counted || meant(i));
  } else {
    for (size_t i = 0; i < shapes.size(); ++i) near[i] = misfits[i].at == furthest;
  }
  // The nearest shapes tell what was expected where they failed: a word of
  // theirs, or (when one of them ran out of words or had too many) their
  // whole usage.
  std::vector<std::string> wanted, usages;
  bool allWords = true;
  for (size_t i = 0; i < shapes.size(); ++i) {
    if (!near[i]) continue;
    usages.push_back(shapes[i].usage());
    std::vector<std::string> theirs = shapes[i].wanted(misfits[i]);
    allWords = allWords && !theirs.empty();
    for (const auto& w : theirs)
      if (std::find(wanted.begin(), wanted.end(), w) == wanted.end()) wanted.push_back(w);
  }
  if (allWords) {
    // After the command, what is wanted is a sub-command: name both.
    std::string found = furthest < words.size() ? words[furthest] : "";
    if (furthest == 1)
      throw ScriptError("expected " + words[0] + " " + listOf(wanted) + ", found \"" + words[0] +
                        (furthest < words.size() ? " " + found : "") + "\"");
    throw ScriptError("expected " + listOf(wanted) + ", found " +
                      (furthest < words.size() ? "\"" + found + "\"" : "the end of the line"));
  }
  std::string expected;
  for (const auto& u : usages) expected += (expected.empty() ? "" : ", or ") + u;
  throw ScriptError("expected: " + expected + ", found: " + joinWords(words));
}

}  // namespace

long long readNumber(const std::string& word, std::string_view what, long long lo, long long hi) {
  size_t i = word.size() > 1 && word[0] == '-' ? 1 : 0;
  const bool negative = i == 1;
  const bool hex = word.size() > i + 2 && word[i] == '0' && (word[i + 1] == 'x' || word[i + 1] == 'X');
  if (hex) i += 2;
  bool digits = i < word.size(), huge = false;
  unsigned long long v = 0;
  for (; i < word.size() && digits; ++i) {
    unsigned char c = static_cast<unsigned char>(word[i]);
    digits = hex ? std::isxdigit(c) != 0 : std::isdigit(c) != 0;
    unsigned d = std::isdigit(c) ? c - '0' : static_cast<unsigned>(std::tolower(c) - 'a' + 10);
    // Past 2^58 no range holds it; keep reading only to know it is a number.
    if (digits && !huge) {
      if (v > (1ULL << 58)) huge = true;
      else v = v * (hex ? 16 : 10) + d;
    }
  }
  if (!digits) throw ScriptError("expected " + std::string(what) + " (a number), found \"" + word + "\"");
  long long n = huge ? (negative ? LLONG_MIN : LLONG_MAX)
                     : (negative ? -static_cast<long long>(v) : static_cast<long long>(v));
  if (n < lo || n > hi)
    throw ScriptError("expected " + std::string(what) + " from " + std::to_string(lo) + " to " + std::to_string(hi) + ", found " +
                      word);
  return n;
}

std::string joinWords(const std::vector<std::string>& words) {
  std::string s;
  for (const auto& word : words) {
    if (!s.empty()) s += ' ';
    s += word.find_first_of(" \t#\"") == std::string::npos && !word.empty() ? word : "\"" + word + "\"";
  }
  return s;
}

}  // namespace crestune::script
