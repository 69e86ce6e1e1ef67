// Why the stand-in: lines a program hands the script runner (the demo, a
// test) never pass through the reading of a script file, so the check before
// the run must refuse what is not text on its own, before a name reaches the
// device's registry cut short at a NUL.
#include <gtest/gtest.h>

#include <sstream>

#include "device.h"
#include "registry_store.h"
#include "script.h"
#include "session.h"

namespace {

TEST(ScriptText, LinesThatAreNotTextAreRefusedBeforeTheFirstLineRuns) {
  struct Case {
    std::string line, error;
  };
  const Case cases[] = {
      {"reg delete HKCU\\a\\\xC0\x80", "not UTF-8 text at column 19: an overlong form of U+0000 (C0 80)"},
      {"reg delete HKCU\\a\\\xE0\x80\x80", "not UTF-8 text at column 19: an overlong form of U+0000 (E0 80 80)"},
      {std::string("reg delete \"HKCU\\a\\\0\"", 21), "a NUL byte at column 20"},
      {std::string("reg delete HKCU\\a \0", 19), "a NUL byte at column 19"},
      {"reg delete HKCU\\a \xC0\x80", "not UTF-8 text at column 19: an overlong form of U+0000 (C0 80)"},
      {"reg set HKCU\\a\\\xED\xA0\x80 v dword 1", "not UTF-8 text at column 16: a UTF-16 surrogate, U+D800 (ED A0 80)"},
      {"reg set HKCU\\a \xF4\x90\x80\x80 dword 1",
       "not UTF-8 text at column 16: a code point past U+10FFFF, U+110000 (F4 90 80 80)"},
      {"reg set HKCU\\a v\x80 dword 1", "not UTF-8 text at column 17: a continuation byte without its lead (80)"},
      {"\xEF\xBB\xBF" "reg delete HKCU\\a", "a byte-order mark (EF BB BF) at column 1: only the start of the file may have one"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    crestune::Session session;
    auto& registry = session.device().registry();
    registry.setValue("HKCU\\a", "", REG_DWORD, wince::RegistryStore::dwordBytes(1));
    registry.setValue("HKCU\\a\\b", "v", REG_DWORD, wince::RegistryStore::dwordBytes(2));
    std::ostringstream out, err;
    int status = crestune::runScript(session, "t.crest", {"echo first", c.line}, out, err);
    EXPECT_EQ(1, status);
    EXPECT_EQ("t.crest:2: " + c.error + "\n", err.str());
    EXPECT_EQ("", out.str()) << "a line ran";
    EXPECT_TRUE(registry.getValue("HKCU\\a", "")) << "the default value went";
    EXPECT_TRUE(registry.getValue("HKCU\\a\\b", "v")) << "the key went";
  }
}

}  // namespace
