// Replacing a file so that it appears whole or not at all.
#include "device/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <string>
#include <system_error>

namespace wince {

namespace {

// mkstemp replaces the six X with letters and digits.
constexpr char kTemporarySuffix[] = "XXXXXX";

std::string temporaryPrefix(const std::string& target) { return "." + target + "."; }

}  // namespace

bool isTemporaryFileOf(const std::string& target, const std::string& name) {
  const std::string prefix = temporaryPrefix(target);
  const size_t suffix = sizeof kTemporarySuffix - 1;
  if (name.size() != prefix.size() + suffix || name.compare(0, prefix.size(), prefix) != 0) return false;
  for (size_t i = prefix.size(); i < name.size(); ++i)
    if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
  return true;
}

void writeFileAtomically(const std::filesystem::path& file, std::string_view bytes) {
  std::filesystem::path dir = file.parent_path();
  if (dir.empty()) dir = ".";
  std::string tmp = (dir / (temporaryPrefix(file.filename().string()) + kTemporarySuffix)).string();
  auto fail = [&](const char* what, bool created) {
    const int err = errno;
    if (created) ::unlink(tmp.c_str());
    throw std::system_error(err, std::generic_category(), what);
  };
  const int fd = ::mkstemp(tmp.data());
  if (fd < 0) fail("cannot create a temporary file", false);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      errno = err;
      fail("cannot write", true);
    }
    done += static_cast<size_t>(n);
  }
  ::fchmod(fd, 0644);
  if (::fsync(fd) != 0) {
    const int err = errno;
    ::close(fd);
    errno = err;
    fail("cannot flush", true);
  }
  if (::close(fd) != 0) fail("cannot write", true);
  if (::rename(tmp.c_str(), file.c_str()) != 0) fail("cannot replace", true);
  // Make the rename itself durable.
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
}

}  // namespace wince
