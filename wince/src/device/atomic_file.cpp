#include "device/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace wince {

void writeFileAtomically(const std::filesystem::path& file, std::string_view bytes) {
  std::filesystem::path dir = file.parent_path();
  if (dir.empty()) dir = ".";
  std::string tmp = (dir / ("." + file.filename().string() + ".XXXXXX")).string();
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
