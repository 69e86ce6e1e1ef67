// The crestune program on a device folder under faults: killed at random
// moments while it saves its registry, a second run on a folder in use, and
// a new device killed before its first save.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <random>
#include <thread>

#include "cli_run.h"
#include "device.h"
#include "device_error.h"
#include "registry_store.h"

extern char** environ;

namespace clitest {
namespace {

using Clock = std::chrono::steady_clock;

// crestune started in the background with these words (paths absolute),
// its output thrown away and its errors kept in `errFile`.
pid_t start(const Words& args, const fs::path& errFile) {
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&files, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::string> words{CRESTUNE_EXE};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  EXPECT_EQ(0, posix_spawn(&pid, CRESTUNE_EXE, &files, nullptr, argv.data(), environ));
  posix_spawn_file_actions_destroy(&files);
  return pid;
}

// How a process ended: its exit status, or -1 when SIGKILL ended it.
int finish(pid_t pid) {
  int status = 0;
  EXPECT_EQ(pid, waitpid(pid, &status, 0));
  if (WIFSIGNALED(status)) {
    EXPECT_EQ(SIGKILL, WTERMSIG(status));
    return -1;
  }
  return WEXITSTATUS(status);
}

Clock::duration timeOf(const Words& args, const fs::path& errFile) {
  const auto begin = Clock::now();
  EXPECT_EQ(0, finish(start(args, errFile))) << readFile(errFile);
  return Clock::now() - begin;
}

using Values = std::map<std::string, wince::RegistryStore::Value>;
const char kKey[] = "HKCU\\Software\\KillTest";

// The values of run `r` in the order its script sets them: a long binary
// value (over several lines of the file), then forty dwords.
std::vector<std::pair<std::string, wince::RegistryStore::Value>> valuesOfRun(int r) {
  std::vector<std::pair<std::string, wince::RegistryStore::Value>> v;
  v.push_back({"Blob", {REG_BINARY, std::vector<uint8_t>(300, static_cast<uint8_t>(r))}});
  for (int i = 0; i < 40; ++i) v.push_back({"V" + std::to_string(i), {REG_DWORD, wince::RegistryStore::dwordBytes(r)}});
  return v;
}

std::string scriptOfRun(int r) {
  std::string s;
  for (const auto& [name, value] : valuesOfRun(r)) {
    s += std::string("reg set ") + kKey + " " + name;
    if (value.type == REG_BINARY) {
      s += " hex ";
      char byte[3];
      for (uint8_t b : value.bytes) s += (std::snprintf(byte, sizeof byte, "%02x", b), byte);
    } else {
      s += " dword " + std::to_string(r);
    }
    s += "\n";
  }
  return s;
}

// The key's values as a new device reads the folder, read from a copy so
// that the folder stays as the kill left it for the next run. Throws
// DeviceError when the registry does not load.
Values valuesIn(const fs::path& device, const fs::path& scratch) {
  fs::remove_all(scratch);
  fs::create_directories(scratch);
  for (const char* name : {"registry.reg", "registry.journal"})
    if (fs::exists(device / name)) fs::copy_file(device / name, scratch / name);
  wince::Accounting accounting;
  wince::RegistryStore store(scratch / "registry.reg", accounting);
  Values values;
  for (const auto& [name, _] : valuesOfRun(0))
    if (auto v = store.getValue(kKey, name)) values[name] = *v;
  return values;
}

// True when `now` is `before` with the first k values of run r set, for
// some k: the state before or after each change, never a mix.
bool isBeforeOrAfterAChange(const Values& before, const Values& now, int r) {
  const auto run = valuesOfRun(r);
  size_t k = 0;
  while (k < run.size() && now.count(run[k].first) && now.at(run[k].first) == run[k].second) ++k;
  Values expected = before;
  for (size_t i = 0; i < k; ++i) expected[run[i].first] = run[i].second;
  return expected == now;
}

// Several devices at once, each with its own run in flight, so that the
// kills take a few seconds in all.
struct Lane {
  fs::path device, scratch, script, err;
  int run = 0;
  pid_t pid = -1;
  Clock::time_point killAt;
  Values state;
};

TEST_F(CliTest, KillsWhileTheRegistryIsSavedLeaveItBeforeOrAfterEachChange) {
  script("dump.crest", "reg dump\n");
  std::vector<Lane> lanes(4);
  // Kills fall anywhere in a whole run: starting (a journal left by the
  // killed run before is folded in), the changes, and the shutdown that
  // writes the file.
  Clock::duration whole{};
  for (size_t i = 0; i < lanes.size(); ++i) {
    Lane& l = lanes[i];
    const std::string n = std::to_string(i);
    l = {path("D" + n), path("scratch" + n), path("run" + n + ".crest"), path("err" + n), 0, -1, {}, {}};
    script("run" + n + ".crest", scriptOfRun(0));
    whole += timeOf({"run", l.script, "--device", l.device}, l.err);
    l.state = valuesIn(l.device, l.scratch);
    ASSERT_TRUE(isBeforeOrAfterAChange({}, l.state, 0));
  }
  whole /= lanes.size();

  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<Clock::rep> moment(0, whole.count());
  int kills = 0, runs = 0;
  while (kills < 200 && runs < 1000) {
    for (Lane& l : lanes) {
      if (l.pid < 0) {
        writeFile(l.script, scriptOfRun(++l.run));
        l.pid = start({"run", l.script, "--device", l.device}, l.err);
        l.killAt = Clock::now() + Clock::duration(moment(random));
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    for (Lane& l : lanes) {
      int status = 0;
      if (Clock::now() >= l.killAt) {
        kill(l.pid, SIGKILL);
        status = finish(l.pid);
      } else if (waitpid(l.pid, &status, WNOHANG) == l.pid) {
        status = WEXITSTATUS(status);
      } else {
        continue;
      }
      SCOPED_TRACE(l.device.filename().string() + " run " + std::to_string(l.run));
      l.pid = -1;
      ++runs;
      ASSERT_TRUE(status == -1 || status == 0) << readFile(l.err);
      if (status == -1) ++kills;
      Values now;
      try {
        now = valuesIn(l.device, l.scratch);
      } catch (const wince::DeviceError& e) {
        FAIL() << "the registry does not load: " << e.what();
      }
      ASSERT_TRUE(isBeforeOrAfterAChange(l.state, now, l.run)) << readFile(l.device / "registry.reg");
      l.state = now;
    }
  }
  for (Lane& l : lanes) {
    if (l.pid < 0) continue;
    kill(l.pid, SIGKILL);
    finish(l.pid);
  }
  EXPECT_GE(kills, 200);
  std::printf("%d runs, %d killed, seed %u\n", runs, kills, seed);
  // The program itself reads each folder as it was left, and nothing of ours
  // stays in the folder once a run has ended.
  for (Lane& l : lanes) {
    SCOPED_TRACE(l.device.filename().string());
    const Values left = valuesIn(l.device, l.scratch);
    Result dump = crestune({"run", "dump.crest", "--device", l.device.filename().string()});
    ASSERT_EQ(dump.status, 0) << dump.err;
    EXPECT_NE(dump.out.find("\"V39\"=dword:"), std::string::npos);
    EXPECT_EQ(left, valuesIn(l.device, l.scratch));
    EXPECT_EQ((std::vector<std::string>{"Windows", "registry.reg"}), [&] {
      std::vector<std::string> names;
      for (const auto& [name, _] : snapshot(l.device))
        if (name.find('/') == std::string::npos) names.push_back(name);
      return names;
    }());
  }
}

// A script setting `count` values of one key, named PREFIX0, PREFIX1...
std::string manyValues(const std::string& prefix, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += "reg set HKCU\\Software\\Both " + prefix + std::to_string(i) + " dword 7\n";
  return s;
}

int valuesPresent(const fs::path& device, const std::string& prefix, int count, const fs::path& scratch) {
  fs::remove_all(scratch);
  fs::create_directories(scratch);
  fs::copy_file(device / "registry.reg", scratch / "registry.reg");
  wince::Accounting accounting;
  wince::RegistryStore store(scratch / "registry.reg", accounting);
  int n = 0;
  for (int i = 0; i < count; ++i) n += store.getValue("HKCU\\Software\\Both", prefix + std::to_string(i)) ? 1 : 0;
  return n;
}

TEST_F(CliTest, ASecondRunOnAFolderInUseIsRefusedAndNothingIsLost) {
  script("a.crest", manyValues("A", 2000));
  script("b.crest", manyValues("B", 200));
  const std::string inUse = ": the device folder is in use by another process (pid ";

  // The second run, started while the first holds the folder, is refused
  // at once with one line; the first keeps every value it set.
  const pid_t first = start({"run", path("a.crest"), "--device", path("D")}, path("a.err"));
  const std::string pid = std::to_string(first);
  for (int i = 0; i < 5000 && readFile(path("D/device.lock")) != pid + "\n"; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  Result second = crestune({"run", "b.crest", "--device", "D"});
  EXPECT_EQ(second.status, 1);
  EXPECT_EQ(second.err, "crestune: D" + inUse + pid + ")\n");
  ASSERT_EQ(finish(first), 0) << readFile(path("a.err"));
  EXPECT_EQ(valuesPresent(path("D"), "A", 2000, path("scratch")), 2000);
  EXPECT_EQ(valuesPresent(path("D"), "B", 200, path("scratch")), 0);
  // Once the folder is free, the second run goes ahead beside the first's values.
  EXPECT_EQ(crestune({"run", "b.crest", "--device", "D"}).status, 0);
  EXPECT_EQ(valuesPresent(path("D"), "A", 2000, path("scratch")), 2000);
  EXPECT_EQ(valuesPresent(path("D"), "B", 200, path("scratch")), 200);
}

TEST_F(CliTest, ANewDeviceKilledBeforeItsFirstSaveStartsAfresh) {
  script("echo.crest", "echo hello\n");
  script("check.crest", "reg check HKCR\\.wmv @ sz WMVFile\n");

  // Killed anywhere in its first run, before, during or after its first
  // save, a new device starts again from its factory registry.
  const Clock::duration whole = timeOf({"run", path("echo.crest"), "--device", path("E")}, path("err.txt"));
  std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<Clock::rep> moment(0, whole.count());
  for (int i = 0; i < 25; ++i) {
    fs::remove_all(path("D"));
    // Killed after a moment of the run, unless it ended first.
    const pid_t pid = start({"run", path("echo.crest"), "--device", path("D")}, path("err.txt"));
    std::this_thread::sleep_for(Clock::duration(moment(random)));
    kill(pid, SIGKILL);
    finish(pid);
    Result again = crestune({"run", "check.crest", "--device", "D"});
    ASSERT_EQ(again.status, 0) << again.err;
    for (const auto& [name, _] : snapshot(path("D"))) EXPECT_NE(name[0], '.') << name;
  }
}

// The temporary devices of runs in the folder for temporary files: one left
// by a killed run is removed by the next run that makes one; one whose run
// goes on is left alone.
TEST_F(CliTest, ATemporaryDeviceOfAKilledRunIsRemovedByTheNextRun) {
  const fs::path tmp = path("tmp");
  fs::create_directory(tmp);
  ::setenv("TMPDIR", tmp.c_str(), 1);
  std::string shots;
  for (int i = 0; i < 3000; ++i) shots += "screenshot shot.png\n";
  script("long.crest", shots);
  script("echo.crest", "echo hello\n");
  // A run started, and the temporary device it holds once it is running.
  auto startLong = [&](const fs::path& err) {
    const pid_t pid = start({"run", path("long.crest"), "--out", path("o")}, err);
    for (int i = 0; i < 5000; ++i) {
      for (const auto& e : fs::directory_iterator(tmp))
        if (readFile(e.path() / "device.lock") == std::to_string(pid) + "\n") return std::make_pair(pid, e.path());
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ADD_FAILURE() << "no temporary device for pid " << pid;
    return std::make_pair(pid, fs::path());
  };
  auto [killed, left] = startLong(path("err1"));
  kill(killed, SIGKILL);
  EXPECT_EQ(-1, finish(killed));
  EXPECT_TRUE(fs::exists(left));
  auto [running, live] = startLong(path("err2"));
  EXPECT_EQ(crestune({"run", "echo.crest"}).status, 0);
  EXPECT_FALSE(fs::exists(left)) << "the killed run's device is removed";
  EXPECT_TRUE(fs::exists(live)) << "the running one's is not";
  kill(running, SIGKILL);
  finish(running);
  EXPECT_EQ(crestune({"run", "echo.crest"}).status, 0);
  EXPECT_TRUE(fs::is_empty(tmp));
  ::unsetenv("TMPDIR");
}

}  // namespace
}  // namespace clitest
