// Scripts that are not text (a device, a binary, a line without end) are
// refused at the first line that is not text, with the file and line, and
// before anything runs; what a message quotes stays one readable line; and
// what a script asks to write is written or refused, never only announced.
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
      {"latin1.crest", "echo a\necho caf\xe9\n", "latin1.crest:2: not a text file: not UTF-8 text at column 9"},
      {"cut.crest", "echo caf\xc3", "cut.crest:1: not a text file: not UTF-8 text at column 9"},
      {"long.crest", "echo a\necho " + std::string(70000, 'x') + "\n",
       "long.crest:2: not a text file: a line longer than 65536 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    script(c.name, c.text);
    Result r = crestune({"run", c.name, "--device", "D"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "crestune: " + c.error + "\n");
    EXPECT_EQ(r.out, "") << "nothing ran";
    EXPECT_FALSE(fs::exists(path("D"))) << "no device made";
  }
}

TEST_F(CliTest, ADeviceFileIsRefusedAtOnce) {
  Result r = crestune({"run", "/dev/urandom"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(0u, r.err.rfind("crestune: /dev/urandom:", 0)) << r.err;
  EXPECT_NE(std::string::npos, r.err.find(": not a text file: ")) << r.err;
}

TEST_F(CliTest, AContactSheetOfNoStepsIsRefusedNotAnnounced) {
  script("empty.crest", "echo before\nsheet s.png Title\n");
  Result r = crestune({"run", "empty.crest", "--out", "out"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "empty.crest:2: expected steps for the contact sheet (take them with step CAPTION), found none\n");
  EXPECT_EQ(r.out, "before\n");
  EXPECT_FALSE(fs::exists(path("out/s.png")));
}

TEST_F(CliTest, MessagesShowControlBytesEscapedAndLongWordsByTheirEnds) {
  script("odd.crest", "fr\x01obnicate\n");
  Result odd = crestune({"run", "odd.crest"});
  EXPECT_EQ(odd.err, "odd.crest:1: unknown command \"fr\\x01obnicate\"\n");
  script("wide.crest", "frob" + std::string(100, 'x') + "nicate\n");
  Result wide = crestune({"run", "wide.crest"});
  // The quoted word, its quotes with it, by its first and last 28 bytes.
  EXPECT_EQ(wide.err, "wide.crest:1: unknown command \"frob" + std::string(23, 'x') + "..." + std::string(21, 'x') +
                          "nicate\"\n");
}

}  // namespace
}  // namespace clitest
