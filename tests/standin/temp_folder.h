// Folders and files for the tests that work in real folders (the device
// folder, the crestune program, the interactive window, the MPRIS bridge):
// a temporary folder removed after the test, whole-file reads and writes,
// and what the device says when it refuses.
#pragma once
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "device_error.h"

namespace standin {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    std::string t = (fs::temp_directory_path() / "crestune-test-XXXXXX").string();
    if (!mkdtemp(t.data())) throw std::system_error(errno, std::generic_category(), "mkdtemp " + t);
    path_ = t;
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

inline std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void writeFile(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

// The names in a folder, sorted.
inline std::vector<std::string> folderEntries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// What the DeviceError that `f` throws says; empty when it throws none.
inline std::string errorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const wince::DeviceError& e) {
    return e.what();
  }
  return "";
}

// While it lives, this process may not make a file larger than `bytes`:
// write() past it fails with EFBIG, as on a full disk it fails with ENOSPC
// (SIGXFSZ is ignored, so the process lives on to say so).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    handler_ = ::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved_;
    small.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    ::signal(SIGXFSZ, handler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*handler_)(int) = nullptr;
};

}  // namespace standin
