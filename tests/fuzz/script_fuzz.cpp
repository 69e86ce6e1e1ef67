// Fuzzes scenario scripts: the pre-run check of every line, then the run on
// a fresh temporary device. A refused script is one line naming the file and
// a line of it; a run answers 0 or 1 and writes nothing outside the folders
// it was given. Lines that would only be slow (long waits) or write where
// the fuzzer cannot clean up (absolute or ".." output paths) are left out.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "script.h"
#include "session.h"
#include "words.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxLines = 48;
constexpr size_t kMaxLineLength = 300;
constexpr unsigned long kLongestWait = 10000;  // ms

// Everything a run may write: the device folders Session makes and "out".
fs::path& root() {
  static fs::path r;
  return r;
}

bool number(const std::string& w, unsigned long& v) {
  try {
    size_t used = 0;
    v = std::stoul(w, &used, 0);
    return used == w.size();
  } catch (const std::exception&) {
    return false;
  }
}

// False for a line the fuzzer leaves out of the script.
bool wanted(const std::string& line) {
  std::vector<std::string> w;
  try {
    w = crestune::splitWords(line);
  } catch (const std::invalid_argument&) {
    return true;  // the check refuses it
  }
  if (w.empty()) return true;
  unsigned long ms = 0;
  // A player started as a desktop player's remote talks to the session bus,
  // which is not the device's.
  if (w[0] == "player" && w.size() > 2) return false;
  if (w[0] == "wait" && w.size() > 1 && number(w[1], ms) && ms > kLongestWait) return false;
  if (w[0] == "hold" && w.size() > 3 && number(w[3], ms) && ms > kLongestWait) return false;
  if (w[0] == "screenshot" || w[0] == "sheet" || w[0] == "transcript" || w[0] == "step")
    for (const std::string& word : w)
      if (word.find("..") != std::string::npos || word.find('/') == 0 || word.find('~') == 0) return false;
  return true;
}

bool oneErrorLine(const std::string& err, size_t lines) {
  const std::string prefix = "fuzz.crest:";
  if (err.rfind(prefix, 0) != 0 || err.empty() || err.back() != '\n') return false;
  if (err.find('\n') != err.size() - 1) return false;
  unsigned long n = 0;
  const size_t colon = err.find(':', prefix.size());
  return colon != std::string::npos && number(err.substr(prefix.size(), colon - prefix.size()), n) && n >= 1 &&
         n <= lines;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Devices in memory-backed storage where there is some, and the
  // product's libraries from this build.
  std::string pattern = (fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()).string() +
                        "/crestune-fuzz-XXXXXX";
  root() = mkdtemp(pattern.data());
  setenv("TMPDIR", root().c_str(), 1);
  setenv("CRESTUNE_LIB_DIR", CRESTUNE_FUZZ_LIB_DIR, 0);
  std::atexit([] { fs::remove_all(root()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> lines;
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  for (std::string line; lines.size() < kMaxLines && std::getline(in, line);)
    if (line.size() <= kMaxLineLength && wanted(line)) lines.push_back(line);

  std::ostringstream out, err;
  if (!crestune::checkScript("fuzz.crest", lines, err)) {
    FUZZ_CHECK(oneErrorLine(err.str(), lines.size()), "a refused script is one line naming a line: " + err.str());
    return 0;
  }
  FUZZ_CHECK(err.str().empty(), "an accepted script says nothing: " + err.str());
  int status;
  {
    crestune::Session session;
    session.outputFolder = root() / "out";
    status = crestune::runScript(session, "fuzz.crest", lines, out, err);
  }
  FUZZ_CHECK(status == 0 || status == 1, "a run answers 0 or 1: " + std::to_string(status));
  FUZZ_CHECK(status == 0 ? err.str().empty() : oneErrorLine(err.str(), lines.size()),
             "a failed run is one line naming a line: " + err.str());
  for (const auto& e : fs::directory_iterator(root()))
    FUZZ_CHECK(e.path().filename() == "out", "nothing is left beside the device's folder: " + e.path().string());
  fs::remove_all(root() / "out");
  return 0;
}
