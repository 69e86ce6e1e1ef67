// Scripts that are not text (a device, a binary, a line without end) are
// refused at the first line that is not text, with the file and line, and
// before anything runs; a script that cannot be read is one line too.
#include <regex>

#include "cli_run.h"

namespace clitest {
namespace {

TEST_F(CliTest, WhatIsNotTextIsRefusedAtItsFirstBadLine) {
  struct Case {
    const char* name;
    std::string text, error;
  };
  const Case cases[] = {
      {"nul.crest", std::string("echo a\nec\0ho\n", 13), "nul.crest:2: not a text file: a NUL byte at column 3"},
      {"latin1.crest", "echo a\necho caf\xe9\n",
       "latin1.crest:2: not a text file: not UTF-8 text at column 9: a character cut short (E9)"},
      {"cut.crest", "echo caf\xc3", "cut.crest:1: not a text file: not UTF-8 text at column 9: a character cut short (C3)"},
      {"long.crest", "echo a\necho " + std::string(70000, 'x') + "\n",
       "long.crest:2: not a text file: a line longer than 65536 bytes"},
  };
  // Bytes that only look like UTF-8, between "echo x" and "y" on line 2.
  const struct {
    std::string bytes, found;
  } notUtf8[] = {
      {"\xC0\x80", "an overlong form of U+0000 (C0 80)"},
      {"\xC1\xBF", "an overlong form of U+007F (C1 BF)"},
      {"\xE0\x80\xAF", "an overlong form of U+002F (E0 80 AF)"},
      {"\xF0\x82\x82\xAC", "an overlong form of U+20AC (F0 82 82 AC)"},
      {"\xF8\x80\x80\x80\x80", "an overlong form of U+0000 (F8 80 80 80 80)"},
      {"\xFC\x80\x80\x80\x80\xAF", "an overlong form of U+002F (FC 80 80 80 80 AF)"},
      {"\xED\xA0\x80", "a UTF-16 surrogate, U+D800 (ED A0 80)"},
      {"\xED\xBF\xBF", "a UTF-16 surrogate, U+DFFF (ED BF BF)"},
      {"\xF4\x90\x80\x80", "a code point past U+10FFFF, U+110000 (F4 90 80 80)"},
      {"\xF5\x80\x80\x80", "a code point past U+10FFFF, U+140000 (F5 80 80 80)"},
      {"\xF8\x88\x80\x80\x80", "a code point past U+10FFFF, U+200000 (F8 88 80 80 80)"},
      {"\xFE", "a byte that UTF-8 never has (FE)"},
      {"\xFF", "a byte that UTF-8 never has (FF)"},
      {"\x80", "a continuation byte without its lead (80)"},
      {"\xE2\x82 ", "a character cut short (E2 82)"},
      {"\xF0\x9F\x98", "a character cut short (F0 9F 98)"},
  };
  std::vector<Case> all(std::begin(cases), std::end(cases));
  for (const auto& n : notUtf8)
    all.push_back({"bad.crest", "echo a\necho x" + n.bytes + "y\n",
                   "bad.crest:2: not a text file: not UTF-8 text at column 7: " + n.found});
  for (const Case& c : all) {
    SCOPED_TRACE(c.name + (" " + c.error));
    fs::remove_all(path("D"));
    script(c.name, c.text);
    Result r = crestune({"run", c.name, "--device", "D"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "crestune: " + c.error + "\n");
    EXPECT_EQ(r.out, "") << "nothing ran";
    EXPECT_FALSE(fs::exists(path("D"))) << "no device made";
  }
}

// A script that is not there, a folder, or a device read at once: one line.
TEST_F(CliTest, AScriptThatCannotBeReadOrIsADeviceIsOneLine) {
  fs::create_directory(path("folder.crest"));
  const std::pair<std::string, std::string> cases[] = {
      {"missing.crest", R"(crestune: cannot read script missing\.crest: No such file or directory\n)"},
      {"folder.crest", R"(crestune: cannot read script folder\.crest: it is a folder\n)"},
      {"/dev/urandom", R"(crestune: /dev/urandom:[0-9]+: not a text file: [^\n]+\n)"},  // where the random bytes fail
  };
  for (const auto& [name, error] : cases) {
    SCOPED_TRACE(name);
    Result r = crestune({"run", name});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(std::regex_match(r.err, std::regex(error))) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

}  // namespace
}  // namespace clitest
