// Replacing a file so that it appears whole or not at all.
#include "device/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

#include "device/unique_fd.h"
#include "device_error.h"

namespace wince {

namespace fs = std::filesystem;

namespace {

// mkstemp replaces the six X with letters and digits.
constexpr char kTemporarySuffix[] = "XXXXXX";
// As many links in a row as the system itself follows.
constexpr int kMaxLinks = 40;

std::string temporaryPrefix(const std::string& target) { return "." + target + "."; }

// What a file that is not a regular one is, for the message that refuses it.
const char* kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a file";
}

// The file to be replaced: `file`, or the end of the chain of symbolic
// links it starts (relative links read from the folder of their link), with
// its status when it exists.
struct Target {
  fs::path path;
  std::optional<struct stat> status;
  std::string refusal;  // why it may not be written; empty when it may
};

Target targetOf(const fs::path& file) {
  Target t{file, std::nullopt, {}};
  for (int links = 0;; ++links) {
    struct stat st {};
    if (::lstat(t.path.c_str(), &st) != 0) {
      if (errno != ENOENT) t.refusal = std::strerror(errno);
      return t;  // a new file
    }
    if (!S_ISLNK(st.st_mode)) {
      t.status = st;
      break;
    }
    if (links == kMaxLinks) {
      t.refusal = std::strerror(ELOOP);
      return t;
    }
    std::error_code ec;
    const fs::path next = fs::read_symlink(t.path, ec);
    if (ec) {
      t.refusal = ec.message();
      return t;
    }
    t.path = next.is_absolute() ? next : t.path.parent_path() / next;
  }
  const mode_t mode = t.status->st_mode;
  if (!S_ISREG(mode))
    t.refusal = std::string("it is ") + kindOf(mode) + ", not a regular file";
  else if ((mode & 0222) == 0 || ::access(t.path.c_str(), W_OK) != 0)
    t.refusal = "it is read-only";
  return t;
}

}  // namespace

bool isTemporaryFileOf(const std::string& target, const std::string& name) {
  const std::string prefix = temporaryPrefix(target);
  const size_t suffix = sizeof kTemporarySuffix - 1;
  if (name.size() != prefix.size() + suffix || name.compare(0, prefix.size(), prefix) != 0) return false;
  for (size_t i = prefix.size(); i < name.size(); ++i)
    if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
  return true;
}

std::string refusalToWrite(const fs::path& file) { return targetOf(file).refusal; }

void writeFileAtomically(const fs::path& file, std::string_view bytes) {
  auto refuse = [&](const std::string& why) -> DeviceError {
    return DeviceError("cannot write " + file.string() + ": " + why);
  };
  const Target target = targetOf(file);
  if (!target.refusal.empty()) throw refuse(target.refusal);
  fs::path dir = target.path.parent_path();
  if (dir.empty()) dir = ".";
  std::string tmp = (dir / (temporaryPrefix(target.path.filename().string()) + kTemporarySuffix)).string();
  UniqueFd fd(::mkstemp(tmp.data()));
  if (!fd) throw refuse(std::string("cannot make a file beside it (") + std::strerror(errno) + ")");
  // Whatever fails from here on takes the temporary file away again.
  auto fail = [&](const char* step) -> DeviceError {
    const int err = errno;
    fd.reset();
    ::unlink(tmp.c_str());
    return refuse(step ? std::string(step) + " (" + std::strerror(err) + ")" : std::strerror(err));
  };
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      throw fail(nullptr);
    }
    done += static_cast<size_t>(n);
  }
  // A file replaced keeps its permissions (and, where this process may give
  // it, its owner); a new one is readable by all.
  const mode_t mode = target.status ? target.status->st_mode & 07777 : 0644;
  if (::fchmod(fd.get(), mode) != 0) throw fail("cannot set its permissions");
  if (target.status && (target.status->st_uid != ::geteuid() || target.status->st_gid != ::getegid()))
    (void)!::fchown(fd.get(), target.status->st_uid, target.status->st_gid);
  if (::fsync(fd.get()) != 0) throw fail("cannot flush it to disk");
  if (::close(fd.release()) != 0) throw fail(nullptr);
  if (::rename(tmp.c_str(), target.path.c_str()) != 0) throw fail("cannot put it in place");
  // Make the rename itself durable.
  UniqueFd folder(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder) (void)::fsync(folder.get());
}

}  // namespace wince
