// The check of a script before it runs: a line of the wrong shape anywhere
// stops the run before the first line, leaves a device folder as it was
// and makes no folder at all; lines of the right shape read their numbers
// as written.
#include "cli_run.h"

namespace clitest {
namespace {

const char* const kKey = "HKLM\\SOFTWARE\\Halvorn\\WMP Crestune";

// Lines that change the device and print, ahead of the line under test;
// the blank line is counted too.
const std::string kHead = std::string("echo started\n\n") + "reg set \"" + kKey + "\" IconSize dword 7\n" +
                          "screenshot shot.png\n";
constexpr int kBadLine = 5;

struct BadLine {
  std::string line, error;
};

// Each with what the check says about it.
const BadLine kBadLines[] = {
    // A sub-command that is not one, or none at all.
    {"check heigth \"WMP Crestune\" 20",
     "expected check height, refresh, item, player, running, stopped, menu, box, pixel, control, title, mail, result, "
     "installed or cancelled, found \"check heigth\""},
    {"reg sett K V dword 1", "expected reg set, delete, check or dump, found \"reg sett\""},
    {"today begin", "expected today start, stop, refresh or reload, found \"today begin\""},
    {"pen press 10 10", "expected pen down, move or up, found \"pen press\""},
    {"menu", "expected menu choose or dismiss, found \"menu\""},
    {"frobnicate 1 2", "unknown command \"frobnicate\""},
    // What a message quotes stays one readable line: control bytes escaped,
    // a long word (its quotes with it) by its first and last 28 bytes.
    {"fr\x01obnicate", "unknown command \"fr\\x01obnicate\""},
    {"frob" + std::string(100, 'x') + "nicate",
     "unknown command \"frob" + std::string(23, 'x') + "..." + std::string(21, 'x') + "nicate\""},
    // Too few words, or too many.
    {"tap 10", "expected: tap X Y, found: tap 10"},
    {"hold 10 20", "expected: hold X Y MS, found: hold 10 20"},
    {"check height \"WMP Crestune\"", "expected: check height ITEM PIXELS, found: check height \"WMP Crestune\""},
    {"install now later", "expected: install [CAB], found: install now later"},
    {"check control 1009 checked twice",
     "expected: check control ID checked|unchecked, found: check control 1009 checked twice"},
    {"reg set HKLM\\X V dword", "expected: reg set KEY NAME dword N [size N], found: reg set HKLM\\X V dword"},
    {"check box none extra",
     "expected: check box none, or check box TEXT [caption CAPTION], found: check box none extra"},
    {"check menu at 10", "expected: check menu at X Y, found: check menu at 10"},
    {"check menu at 10 20 30", "expected: check menu at X Y, found: check menu at 10 20 30"},
    {"item register A a.dll order", "expected a value after \"order\""},
    {"item register A a.dll order 1 order 2", "expected \"order\" at most once, found it twice"},
    {"item register A a.dll bogus 1", "expected enabled, order or options, found \"bogus\""},
    // Numbers that are none, or out of their range.
    {"tap 4294967369 60", "expected x from 0 to 239, found 4294967369"},
    {"tap 10 320", "expected y from 0 to 319, found 320"},
    {"drag 0 0 -1 0", "expected x from 0 to 239, found -1"},
    {"wait 86400001", "expected milliseconds from 0 to 86400000, found 86400001"},
    {"wait 0x", "expected milliseconds (a number), found \"0x\""},
    {"wait 1e3", "expected milliseconds (a number), found \"1e3\""},
    {"wait ten", "expected milliseconds (a number), found \"ten\""},
    {"wait -5", "expected milliseconds from 0 to 86400000, found -5"},
    {"reg set HKLM\\X V dword 4294967296", "expected a dword from 0 to 4294967295, found 4294967296"},
    {"reg set HKLM\\X V dword -1", "expected a dword from 0 to 4294967295, found -1"},
    {"reg set HKLM\\X V dword 99999999999999999999999", "expected a dword from 0 to 4294967295, found 99999999999999999999999"},
    {"reg set HKLM\\X V hex 01 size 65537", "expected a data size from 0 to 65536, found 65537"},
    {"control tap 65536", "expected a control id from 0 to 65535, found 65536"},
    {"control erase 1017 10001", "expected a count from 0 to 10000, found 10001"},
    {"item register A a.dll enabled 2", "expected a flag from 0 to 1, found 2"},
    {"item register A a.dll order 4294967296", "expected an order from 0 to 4294967295, found 4294967296"},
    {"fail LoadImageW times 0", "expected a count of failures from 1 to 1000000, found 0"},
    {"fail LoadImageW error -1", "expected an error code from 0 to 4294967295, found -1"},
    {"screenshot a.png scale 9", "expected a scale from 1 to 8, found 9"},
    {"screenshot a.png scale 0", "expected a scale from 1 to 8, found 0"},
    {"sheet s.png Title 1 0", "expected a step number from 1 to 10000, found 0"},
    {"check player 0x80C8:0x100000000", "expected a wParam from 0 to 4294967295, found 0x100000000"},
    {"check pixel 240 0 000000", "expected x from 0 to 239, found 240"},
    {"check menu at 10 999", "expected y from 0 to 319, found 999"},
    {"check result 2147483648", "expected a result from -2147483648 to 2147483647, found 2147483648"},
    // A size that would cut the data short.
    {"reg set HKLM\\X V sz abc size 7", "expected a size of at least 8 (the sz value's own bytes), found 7"},
    {"reg check HKLM\\X V dword 1 size 3", "expected a size of at least 4 (the dword value's own bytes), found 3"},
    {"reg set HKLM\\X V hex 010203 size 2", "expected a size of at least 3 (the hex value's own bytes), found 2"},
    // Words that are not among the allowed ones.
    {"check refresh \"WMP Crestune\" yes", "expected true or false, found \"yes\""},
    {"check item \"WMP Crestune\" visible", "expected shown or absent, found \"visible\""},
    {"box answer Maybe", "expected OK, Cancel, Yes or No, found \"Maybe\""},
    {"reg check HKLM\\X there", "expected present or missing, found \"there\""},
    {"reg set HKLM\\X V qword 1", "expected dword, sz or hex, found \"qword\""},
    {"check control 1009 on", "expected checked or unchecked, found \"on\""},
    {"screenshot a.png 2", "expected scale, found \"2\""},
    // Words of their own form.
    {"reg set HKXX\\X V dword 1",
     "\"HKXX\" is not a registry root (expected HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKLM, "
     "HKCR or HKCU)"},
    {"reg delete HKLM", "expected a key below a root (a root key cannot be deleted), found HKLM"},
    {"check pixel 0 0 fffff", "expected a colour RRGGBB, found \"fffff\""},
    {"check pixel 1 1 white", "expected a colour RRGGBB, found \"white\""},
    {"check player 0x10::1", "expected a message MSG, MSG:WPARAM or MSG:WPARAM:LPARAM, found \"0x10::1\""},
    {"check player \"\"", "expected a message MSG, MSG:WPARAM or MSG:WPARAM:LPARAM, found \"\""},
    {"reg set HKLM\\Software\\X V hex 0g", "expected hex bytes (pairs of hex digits such as 01ff), found \"0g\""},
    {"transcript \"\"", "expected a file name, found \"\""},
    {"echo \"not closed", "a quoted text is not closed"},
    // A byte-order mark past the start of the file.
    {"\xEF\xBB\xBF" "echo x", "a byte-order mark (EF BB BF) at column 1: only the start of the file may have one"},
    {"echo x\xEF\xBB\xBF", "a byte-order mark (EF BB BF) at column 7: only the start of the file may have one"},
};

class ScriptCheck : public CliTest {
 protected:
  // A device that has lived through a run already.
  void SetUp() override {
    CliTest::SetUp();
    script("setup.crest", std::string("reg set \"") + kKey + "\" IconSize dword 1\n");
    ASSERT_EQ(crestune({"run", "setup.crest", "--device", "D"}).status, 0);
  }
};

TEST_F(ScriptCheck, ALaterLineOfTheWrongShapeStopsTheRunBeforeTheFirstLine) {
  const auto before = snapshot(path("D"));
  ASSERT_FALSE(before.empty());
  for (const BadLine& c : kBadLines) {
    SCOPED_TRACE(c.line);
    script("s.crest", kHead + c.line + "\necho after\n");
    const std::string error = "s.crest:" + std::to_string(kBadLine) + ": " + c.error + "\n";
    for (const std::string device : {"D", "new-device"}) {
      SCOPED_TRACE(device);
      Result r = crestune({"run", "s.crest", "--device", device, "--out", "out"});
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, error);
      EXPECT_EQ(r.out, "") << "the first line ran";
    }
    EXPECT_EQ(snapshot(path("D")), before);
    EXPECT_FALSE(fs::exists(path("new-device")));
    EXPECT_FALSE(fs::exists(path("out")));
  }
}

// Lines at the edges of their shapes are let through and mean what they
// say: decimal stays decimal with a leading zero, hex needs 0x, options come
// in any order, and a size may equal the data's own. The file may begin
// with a byte-order mark, and UTF-8 holds the characters at the edges of
// its forms.
TEST_F(ScriptCheck, NumbersAreReadAsWrittenAndEdgesAreAccepted) {
  const std::string key = std::string("\"") + kKey + "\"";
  const std::string edgeCharacters = "\x7F \xC2\x80 \xDF\xBF \xE0\xA0\x80 \xED\x9F\xBF \xEE\x80\x80 \xEF\xBF\xBF "
                                     "\xF0\x90\x80\x80 \xF4\x8F\xBF\xBF";
  script("edges.crest",
         "\xEF\xBB\xBF" "reg set " + key + " A dword 010\n"
         "reg check " + key + " A dword 10\n"
         "reg check " + key + " A dword 0xA\n"
         "reg set " + key + " B dword 4294967295\n"
         "reg check " + key + " B dword 0xFFFFFFFF\n"
         "reg set " + key + " C sz abc size 8\n"
         "reg check " + key + " C sz abc size 0x8\n"
         "reg set " + key + " D hex \"\" size 0\n"
         "reg check " + key + " D hex \"\" size 0\n"
         "item register \"WMP Crestune\" crestitem.dll options 0 enabled 1 order 007\n"
         "reg check \"HKLM\\Software\\Microsoft\\Today\\Items\\WMP Crestune\" Order dword 7\n"
         "reg check \"HKLM\\Software\\Microsoft\\Today\\Items\\WMP Crestune\" Options dword 0\n"
         "tap 239 319\n"
         "pen down 0 0\n"
         "pen up 0 0\n"
         "wait 0\n"
         "check player\n"
         "check player nothing\n"
         "check box none\n"
         "echo\n"
         "echo \"" + edgeCharacters + "\"\n");
  Result r = crestune({"run", "edges.crest", "--device", "D"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "\n" + edgeCharacters + "\nok: edges.crest\n");
}

}  // namespace
}  // namespace clitest
