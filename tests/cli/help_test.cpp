// crestune help COMMAND, and the script commands `help run` prints: the
// README's table is the same table, and every usage it shows, filled in,
// is a line the check lets through.
#include <regex>

#include "cli_run.h"

namespace clitest {
namespace {

using Row = std::pair<std::string, std::string>;  // usage, what it does

// The rows `crestune help run` prints: a usage indented by two spaces,
// what it does on the next line indented by six.
std::vector<Row> helpRows(const std::string& help) {
  std::vector<Row> rows;
  std::istringstream in(help);
  bool commands = false;
  for (std::string l; std::getline(in, l);) {
    if (l.rfind("script commands", 0) == 0) commands = true;
    else if (commands && l.rfind("      ", 0) == 0 && !rows.empty()) rows.back().second = l.substr(6);
    else if (commands && l.rfind("  ", 0) == 0) rows.push_back({l.substr(2), ""});
  }
  return rows;
}

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(' '), e = s.find_last_not_of(' ');
  return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

// The rows of the README's command table: the first cell is the usage in
// backticks (a | in it escaped as \|), the second what it does.
std::vector<Row> readmeRows(const std::string& readme) {
  std::vector<Row> rows;
  std::istringstream in(readme);
  bool table = false;
  for (std::string l; std::getline(in, l);) {
    if (l == "| command | what it does |") {
      table = true;
      continue;
    }
    if (!table) continue;
    if (l.empty() || l[0] != '|') break;
    if (l.rfind("|---", 0) == 0) continue;
    std::vector<std::string> cells(1);
    for (size_t i = 1; i < l.size(); ++i) {
      if (l[i] == '\\' && i + 1 < l.size() && l[i + 1] == '|') cells.back() += l[++i];
      else if (l[i] == '|') cells.emplace_back();
      else cells.back() += l[i];
    }
    std::string usage = trim(cells.at(0));
    EXPECT_TRUE(usage.size() > 2 && usage.front() == '`' && usage.back() == '`') << l;
    rows.push_back({usage.substr(1, usage.size() - 2), trim(cells.at(1))});
  }
  return rows;
}

TEST_F(CliTest, TheReadmeTableIsTheTableHelpRunPrints) {
  Result help = crestune({"help", "run"});
  ASSERT_EQ(help.status, 0) << help.err;
  std::vector<Row> printed = helpRows(help.out);
  std::vector<Row> readme = readmeRows(readFile(fs::path(CRESTUNE_SOURCE_DIR) / "README.md"));
  ASSERT_GT(printed.size(), 30u);
  for (size_t i = 0; i < std::max(printed.size(), readme.size()); ++i) {
    SCOPED_TRACE("row " + std::to_string(i + 1));
    ASSERT_LT(i, readme.size()) << "the README lacks " << printed[i].first;
    ASSERT_LT(i, printed.size()) << "help run lacks " << readme[i].first;
    EXPECT_EQ(readme[i].first, printed[i].first);
    EXPECT_EQ(readme[i].second, printed[i].second);
    EXPECT_NE(printed[i].second, "");
  }
}

// A line of a usage's shape, with a fitting word for each placeholder; with
// `optional`, every option and last word is given too.
std::vector<std::string> sampleLines(const std::string& usage, bool optional) {
  static const std::map<std::string, std::string> samples = {
      {"X", "1"},      {"Y", "2"},       {"X1", "1"},       {"Y1", "2"},          {"X2", "3"},    {"Y2", "4"},
      {"MS", "10"},    {"ID", "1"},      {"COUNT", "2"},    {"PIXELS", "20"},     {"STEP", "1"},  {"N", "64"},
      {"KEY", "HKLM\\X"}, {"BYTES", "01ff"}, {"RRGGBB", "00ff00"}, {"MSG", "0x10:1:2"}, {"FILE", "f.png"},
      {"CALL", "RegDeleteKeyW"}, {"PLAYER", "mpris"}};
  auto word = [&](const std::string& placeholder) {
    std::string name = placeholder;
    if (name.size() > 3 && name.compare(name.size() - 3, 3, "...") == 0) name.resize(name.size() - 3);
    auto it = samples.find(name);
    return it != samples.end() ? it->second : std::string("\"a word\"");
  };
  std::vector<std::string> lines = {""};
  std::istringstream in(usage);
  for (std::string t; in >> t;) {
    std::vector<std::string> choices;
    if (t[0] == '[') {
      std::string group = t.substr(1);
      while (group.back() != ']') {
        std::string more;
        in >> more;
        group += " " + more;
      }
      group.pop_back();
      if (!optional) continue;
      size_t space = group.find(' ');
      // An option takes its word and a value; a last word one word, and
      // [WORD...] two.
      bool repeats = group.size() > 3 && group.compare(group.size() - 3, 3, "...") == 0;
      choices = {space != std::string::npos ? group.substr(0, space) + " " + word(group.substr(space + 1))
                 : repeats                  ? word(group) + " " + word(group)
                                            : word(group)};
      // An option's N: the enabled and options flags take 0 or 1.
      if (group == "enabled N" || group == "options N") choices = {group.substr(0, space) + " 1"};
      if (group == "scale N") choices = {"scale 2"};
    } else if (std::regex_match(t, std::regex("[A-Z][A-Z0-9]*"))) {
      choices = {word(t)};
    } else {
      for (size_t at = 0; at <= t.size();) {
        size_t end = std::min(t.find('|', at), t.size());
        choices.push_back(t.substr(at, end - at));
        at = end + 1;
      }
    }
    std::vector<std::string> grown;
    for (const auto& l : lines)
      for (const auto& c : choices) grown.push_back(l.empty() ? c : l + " " + c);
    lines = grown;
  }
  return lines;
}

TEST_F(CliTest, EveryUsageHelpRunPrintsIsALineTheCheckLetsThrough) {
  std::string text;
  size_t count = 0;
  for (const Row& row : helpRows(crestune({"help", "run"}).out))
    for (bool optional : {false, true})
      for (const std::string& line : sampleLines(row.first, optional)) text += line + "\n", ++count;
  ASSERT_GT(count, 60u);
  // The check of the last line fails: every line above it passed, and none
  // of them ran.
  script("all.crest", text + "frobnicate\n");
  Result r = crestune({"run", "all.crest", "--device", "D"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "all.crest:" + std::to_string(count + 1) + ": unknown command \"frobnicate\"\n");
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(fs::exists(path("D")));
}

// The whole help names each command once in its synopsis and once among
// the commands, and help COMMAND shows those two lines alone (only run goes
// on, with the commands of a script); the program knows each command the
// help names.
TEST_F(CliTest, HelpNamesEveryCommandOnceAndHelpWithACommandShowsItAlone) {
  const Result help = crestune({"--help"});
  ASSERT_EQ(help.status, 0);
  EXPECT_EQ(help.err, "");
  for (const std::string cmd : {"demo", "run", "install", "uninstall", "interactive", "bench", "help"}) {
    SCOPED_TRACE(cmd);
    int described = 0, synopsis = 0;
    std::istringstream in(help.out);
    for (std::string l; std::getline(in, l);) {
      if (l.rfind("  " + cmd + " ", 0) == 0) ++described;
      if (l.find("crestune " + cmd + " ") != std::string::npos) ++synopsis;
    }
    EXPECT_EQ(described, 1);
    EXPECT_EQ(synopsis, 1);
    Result alone = crestune({"help", cmd});
    ASSERT_EQ(alone.status, 0) << alone.err;
    std::istringstream lines(alone.out);
    std::string first, about;
    std::getline(lines, first);
    std::getline(lines, about);
    ASSERT_EQ(first.rfind("usage: crestune " + cmd + " ", 0), 0u) << first;
    EXPECT_NE(help.out.find("crestune " + cmd + first.substr(16 + cmd.size()) + "\n"), std::string::npos);
    EXPECT_EQ(about.rfind("  " + cmd + " ", 0), 0u);
    EXPECT_NE(help.out.find("\n" + about + "\n"), std::string::npos);
    EXPECT_EQ(alone.out.find("script commands") != std::string::npos, cmd == "run");
    if (cmd == "help") continue;  // help itself takes no options
    Result r = crestune({cmd, "--bogus"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.errLines().at(0), "crestune: unknown option --bogus");
  }
  EXPECT_EQ(crestune({"run", "x.crest", "--help"}).out, help.out);
}

}  // namespace
}  // namespace clitest
