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

TEST_F(CliTest, BenchPrintsATableAndWritesJson) {
  Result r = crestune({"bench", "--quick", "--filter", "query", "--json", path("figures.json").string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("operation"), std::string::npos);
  EXPECT_NE(r.out.find("ops/s"), std::string::npos);
  const std::string row = rowOf(r.out, "refresh_query");
  EXPECT_TRUE(std::regex_search(row, std::regex(R"(^refresh_query +[0-9.]+ [nu]s +[0-9.]+ [nu]s +[0-9]+ )"))) << row;
  EXPECT_EQ(rowOf(r.out, "tap"), "") << "the filter leaves the other operations out";
  const std::string json = readFile(path("figures.json"));
  EXPECT_TRUE(std::regex_search(json, std::regex(R"("name": "refresh_query", "median": [0-9.]+, "min": [0-9.]+)")))
      << json;
  EXPECT_NE(json.find("\"machine\""), std::string::npos);
}

TEST_F(CliTest, BenchSetsWineFiguresBesideItsOwn) {
  writeFile(path("wine.txt"), "# from Wine\r\nrefresh_query 90000 80000 9\r\ntap 2500000 2000000 9\r\n");
  Result r = crestune({"bench", "--quick", "--filter", "query", "--compare", path("wine.txt").string()});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string row = rowOf(r.out, "refresh_query");
  EXPECT_TRUE(std::regex_search(row, std::regex(R"( 90\.00 us +1/[0-9]+ )"))) << row;
  EXPECT_NE(r.out.find("Wine"), std::string::npos);
}

// The device build (ARM, the default) with the host build's figures beside
// it: each operation timed on both, and the ratio.
TEST_F(CliTest, BenchSetsTheHostBuildBesideTheDeviceBuild) {
  Result r = crestune({"bench", "--quick", "--filter", "tap", "--build", "both"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("the device build (ARM) on the emulated StrongARM SA-1110 beside the host build"),
            std::string::npos) << r.out;
  EXPECT_NE(r.out.find("native     ratio"), std::string::npos) << r.out;
  const std::string row = rowOf(r.out, "tap");
  EXPECT_TRUE(std::regex_search(row, std::regex(R"(^tap +[0-9.]+ [num]s .* [0-9.]+ [num]s +[0-9./]+ )"))) << row;
  Result alone = crestune({"bench", "--quick", "--filter", "query", "--build", "native"});
  ASSERT_EQ(alone.status, 0) << alone.err;
  EXPECT_NE(alone.out.find("the host build (x86-64, native), on"), std::string::npos) << alone.out;
  EXPECT_EQ(crestune({"bench", "--build", "mips"}).status, 2);
}

// The three builds in one table, as win32/bench.sh prints them: the
// device build, the host build, Wine, and the two ratios.
TEST_F(CliTest, BenchSetsAllThreeBuildsInOneTable) {
  writeFile(path("wine.txt"), "tap 2500000 2000000 9\n");
  Result r = crestune({"bench", "--quick", "--filter", "tap", "--build", "both", "--compare", path("wine.txt").string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("ARM     native       Wine  ARM/native  Wine/ARM  what"), std::string::npos) << r.out;
  EXPECT_TRUE(std::regex_search(rowOf(r.out, "tap"),
                                std::regex(R"(^tap +[0-9.]+ [num]s +[0-9.]+ [num]s +2\.50 ms +[0-9.]+ +[0-9.]+  a tap)")))
      << r.out;
  // An operation Wine does not time has a dash for its figure and ratio.
  EXPECT_TRUE(std::regex_search(rowOf(r.out, "script_tap"), std::regex(R"( - +[0-9.]+ +-  the same tap)"))) << r.out;
}

TEST_F(CliTest, BenchRefusesWhatItCannotRead) {
  writeFile(path("wine.txt"), "refresh_query 90000 80000 9\ntap fast\n");
  Result r = crestune({"bench", "--quick", "--compare", path("wine.txt").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "") << "nothing runs before the figures are read";
  ASSERT_EQ(r.errLines().size(), 1u) << r.err;
  EXPECT_NE(r.err.find("wine.txt:2: expected NAME MEDIAN_NS MIN_NS RUNS, found tap fast"), std::string::npos) << r.err;

  EXPECT_EQ(crestune({"bench", "--compare", path("missing.txt").string()}).status, 1);
  // A folder for a file, and a JSON file the figures could never go to, are
  // refused at once, before anything is measured.
  fs::create_directory(path("figures"));
  ::mkfifo(path("fifo").c_str(), 0644);
  const std::pair<Words, std::string> refused[] = {
      {{"--compare", "figures"}, "crestune: cannot read figures: it is a folder\n"},
      {{"--json", "figures"}, "crestune: cannot write figures: it is a folder, not a regular file\n"},
      {{"--json", "fifo"}, "crestune: cannot write fifo: it is a FIFO, not a regular file\n"},
  };
  for (const auto& [args, error] : refused) {
    Words words{"bench", "--quick", "--filter", "query"};
    words.insert(words.end(), args.begin(), args.end());
    Result r = crestune(words);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, error);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(crestune({"bench", "now"}).status, 2);
  EXPECT_EQ(crestune({"bench", "--json"}).status, 2);
}

}  // namespace
}  // namespace clitest
