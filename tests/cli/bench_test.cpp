// crestune bench as a person runs it: the table, the JSON file, the Wine
// figures set beside the stand-in's, and what it refuses. No figure is
// checked against a time: only that each is there and well formed.
#include <sys/stat.h>

#include <regex>

#include "cli_run.h"

namespace clitest {
namespace {

// The table's row of an operation, or "".
std::string rowOf(const std::string& table, const std::string& name) {
  std::istringstream in(table);
  for (std::string l; std::getline(in, l);)
    if (l.rfind(name + " ", 0) == 0) return l;
  return "";
}

// Each run with what it prints and the rows of the operations it times:
// its own table and JSON file, Wine's figures beside its own (from a file
// with Windows line ends), the device build (ARM, the default) beside the
// host build with the ratio, and the three builds in one table as
// win32/bench.sh prints them.
TEST_F(CliTest, BenchPrintsItsFiguresBesideWinesAndTheOtherBuilds) {
  writeFile(path("wine.txt"), "# from Wine\r\nrefresh_query 90000 80000 9\r\ntap 2500000 2000000 9\r\n");
  const std::string wine = path("wine.txt").string(), json = path("figures.json").string();
  const struct {
    Words args;                     // after bench --quick
    std::vector<std::string> said;  // what the output holds
    std::vector<std::pair<std::string, std::string>> rows;  // an operation, a pattern its row holds ("^$": no row)
  } cases[] = {
      {{"--filter", "query", "--json", json},
       {"operation", "ops/s"},
       {{"refresh_query", R"(^refresh_query +[0-9.]+ [nu]s +[0-9.]+ [nu]s +[0-9]+ )"}, {"tap", "^$"}}},
      {{"--filter", "query", "--compare", wine}, {"Wine"}, {{"refresh_query", R"( 90\.00 us +1/[0-9]+ )"}}},
      {{"--filter", "tap", "--build", "both"},
       {"the device build (ARM) on the emulated StrongARM SA-1110 beside the host build", "native     ratio"},
       {{"tap", R"(^tap +[0-9.]+ [num]s .* [0-9.]+ [num]s +[0-9./]+ )"}}},
      {{"--filter", "query", "--build", "native"}, {"the host build (x86-64, native), on"}, {}},
      // An operation Wine does not time has a dash for its figure and ratio.
      {{"--filter", "tap", "--build", "both", "--compare", wine},
       {"ARM     native       Wine  ARM/native  Wine/ARM  what"},
       {{"tap", R"(^tap +[0-9.]+ [num]s +[0-9.]+ [num]s +2\.50 ms +[0-9.]+ +[0-9.]+  a tap)"},
        {"script_tap", R"( - +[0-9.]+ +-  the same tap)"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    Words words{"bench", "--quick"};
    words.insert(words.end(), c.args.begin(), c.args.end());
    Result r = crestune(words);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const std::string& part : c.said) EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
    for (const auto& [operation, pattern] : c.rows)
      EXPECT_TRUE(std::regex_search(rowOf(r.out, operation), std::regex(pattern))) << operation << "\n" << r.out;
  }
  const std::string figures = readFile(json);
  EXPECT_TRUE(std::regex_search(figures, std::regex(R"("name": "refresh_query", "median": [0-9.]+, "min": [0-9.]+)")))
      << figures;
  EXPECT_NE(figures.find("\"machine\""), std::string::npos);
}

// Figures it cannot read, a folder for a file and a JSON file the figures
// could never go to are refused at once, before anything is measured.
TEST_F(CliTest, BenchRefusesWhatItCannotRead) {
  writeFile(path("wine.txt"), "refresh_query 90000 80000 9\ntap fast\n");
  fs::create_directory(path("figures"));
  ::mkfifo(path("fifo").c_str(), 0644);
  const std::pair<Words, std::string> refused[] = {
      {{"--compare", "wine.txt"}, "crestune: wine.txt:2: expected NAME MEDIAN_NS MIN_NS RUNS, found tap fast\n"},
      {{"--compare", "missing.txt"}, "crestune: cannot read missing.txt: No such file or directory\n"},
      {{"--compare", "figures"}, "crestune: cannot read figures: it is a folder\n"},
      {{"--json", "figures"}, "crestune: cannot write figures: it is a folder, not a regular file\n"},
      {{"--json", "fifo"}, "crestune: cannot write fifo: it is a FIFO, not a regular file\n"},
  };
  for (const auto& [args, error] : refused) {
    SCOPED_TRACE(::testing::PrintToString(args));
    Words words{"bench", "--quick", "--filter", "query"};
    words.insert(words.end(), args.begin(), args.end());
    Result r = crestune(words);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, error);
    EXPECT_EQ(r.out, "");
  }
}

}  // namespace
}  // namespace clitest
