// Runs the built crestune program as a person would, in a folder of its own,
// and keeps what it printed.
#pragma once
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../standin/temp_folder.h"

namespace clitest {

namespace fs = std::filesystem;
using Words = std::vector<std::string>;

// The lines of `text` that hold `part` (every line when it is empty).
inline std::vector<std::string> linesWith(const std::string& text, const std::string& part = "") {
  std::vector<std::string> found;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);)
    if (l.find(part) != std::string::npos) found.push_back(l);
  return found;
}

struct Result {
  int status = -1;  // the exit status; -1 when the program did not exit (a signal)
  std::string out, err;
  std::vector<std::string> errLines() const { return linesWith(err); }
};

using standin::readFile;
using standin::writeFile;

inline std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Every file below a folder with its contents: equal before and after a run
// means the run changed nothing there and left nothing behind.
inline std::map<std::string, std::string> snapshot(const fs::path& folder) {
  std::map<std::string, std::string> files;
  if (!fs::exists(folder)) return files;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    std::string name = fs::relative(e.path(), folder).string();
    files[name] = e.is_regular_file() ? readFile(e.path()) : std::string("<folder>");
  }
  return files;
}

// A fresh working folder for each test, removed after it.
class CliTest : public ::testing::Test {
 protected:

  // Runs crestune with these words (each quoted for the shell) in the
  // working folder.
  Result crestune(const std::vector<std::string>& args) {
    std::string cmd = "cd " + quote(dir_.string()) + " && " + quote(CRESTUNE_EXE);
    for (const auto& a : args) cmd += " " + quote(a);
    cmd += " >" + quote((dir_ / ".stdout").string()) + " 2>" + quote((dir_ / ".stderr").string());
    int raw = std::system(cmd.c_str());
    return collect(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1);
  }

  // The same under a file size limit of `blocks` of 512 bytes (what a full
  // disk does to a write, write() failing with EFBIG), with SIGXFSZ ignored.
  // Only crestune runs under it: what it prints goes through pipes.
  Result crestuneOnAFullDisk(const std::vector<std::string>& args, int blocks) {
    std::string run = quote(CRESTUNE_EXE);
    for (const auto& a : args) run += " " + quote(a);
    const std::string out = quote((dir_ / ".stdout").string()), err = quote((dir_ / ".stderr").string()),
                      status = quote((dir_ / ".status").string());
    const std::string cmd = "cd " + quote(dir_.string()) + " && { { (trap '' XFSZ; ulimit -f " + std::to_string(blocks) +
                            "; exec " + run + ") 2>&1 1>&3 3>&-; echo $? >" + status + "; } | cat >" + err + "; } 3>&1 | cat >" + out;
    std::system(cmd.c_str());
    return collect(std::atoi(readFile(dir_ / ".status").c_str()));
  }
  // What the run printed, its files removed.
  Result collect(int status) {
    Result r{status, readFile(dir_ / ".stdout"), readFile(dir_ / ".stderr")};
    for (const char* f : {".stdout", ".stderr", ".status"}) fs::remove(dir_ / f);
    return r;
  }

  fs::path path(const std::string& name) const { return dir_ / name; }
  fs::path script(const std::string& name, const std::string& text) {
    writeFile(dir_ / name, text);
    return dir_ / name;
  }

  standin::TempDir folder_;
  const fs::path dir_ = folder_.path();
};

}  // namespace clitest
