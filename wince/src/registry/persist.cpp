// The registry in the device folder: registry.reg, the whole registry as
// REGEDIT5 text, and registry.journal beside it, the changes made since.
//
// Rewriting and syncing the whole file after every change made each change
// cost as much as the registry is large: a script setting 2,000 values took
// seconds, growing with the square of their number. So each change is
// appended to the journal instead, as one line written with one write():
// the page cache keeps it when the process is killed, and a last line
// without its line break is a change that was never finished, left out on
// reading. The file is replaced whole (temporary file, sync, rename) only
// when the journal is folded into it: when the store closes (the one sync of
// a run), when a load finds a journal left by a run that did not end, and
// when the journal outgrows the file. A kill between the rename and the
// removal of the journal replays changes the file already holds, which
// gives the same registry: each record sets its key or value to a state of
// its own, whatever was there before. So after any kill the folder holds
// the registry as it was before or after each change, never a mix.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

#include "device/atomic_file.h"
#include "device_error.h"
#include "registry/tree.h"

namespace wince {

namespace {

// The journal is folded into the file once it is larger than this and
// larger than twice the file, so that the folding costs stay linear in the
// number of changes.
constexpr uint64_t kJournalFoldBytes = 256 * 1024;

// The whole file; false when there is none. Throws DeviceError when it
// cannot be read.
bool readWhole(const std::filesystem::path& file, std::string& bytes) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec) && !ec) return false;
    throw DeviceError(file.string() + ": cannot be read");
  }
  std::ostringstream s;
  s << in.rdbuf();
  if (in.bad()) throw DeviceError(file.string() + ": cannot be read");
  bytes = s.str();
  return true;
}

[[noreturn]] void failWrite(const std::filesystem::path& file, int err) {
  throw DeviceError(file.string() + ": cannot write (" + std::strerror(err) + ")");
}

}  // namespace

std::filesystem::path journalPathOf(const std::filesystem::path& file) {
  std::filesystem::path journal = file;
  journal.replace_extension(".journal");
  return journal;
}

void RegistryStore::Impl::load() {
  std::string bytes;
  if (readWhole(file, bytes)) {
    parseRegText(bytes, file.string(), roots);
    fileBytes = bytes.size();
  }
  const std::filesystem::path journalPath = journalPathOf(file);
  std::string changes;
  if (!readWhole(journalPath, changes)) return;
  replayJournal(changes, journalPath.string(), roots);
  // Left by a run that did not end: folded in before anything is appended
  // after a change it may have left unfinished.
  compact();
}

void RegistryStore::Impl::changed(const std::string& record) {
  unsaved = true;
  const std::filesystem::path journalPath = journalPathOf(file);
  if (journalTorn) {
    // Part of an earlier change may end the journal: the whole registry,
    // this change included, goes to the file instead.
    compact();
    return;
  }
  if (!journal) {
    journal = UniqueFd(::open(journalPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (!journal) failWrite(journalPath, errno);
  }
  size_t done = 0;
  while (done < record.size()) {
    const ssize_t n = ::write(journal.get(), record.data() + done, record.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int err = n < 0 ? errno : ENOSPC;
      // Take back what part of the change was written, so that the next
      // change does not follow it on the same line.
      if (done > 0 && ::ftruncate(journal.get(), static_cast<off_t>(journalBytes)) != 0) journalTorn = true;
      failWrite(journalPath, err);
    }
    done += static_cast<size_t>(n);
  }
  journalBytes += record.size();
  if (journalBytes > kJournalFoldBytes && journalBytes > 2 * fileBytes) {
    try {
      compact();
    } catch (const DeviceError&) {
      // The change is in the journal: folding it in can wait.
    }
  }
}

void RegistryStore::Impl::compact() {
  const std::string text = formatRegText(roots);
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path().empty() ? "." : file.parent_path(), ec);
  try {
    writeFileAtomically(file, text);
  } catch (const std::system_error& e) {
    throw DeviceError(file.string() + ": " + e.what());
  }
  fileBytes = text.size();
  unsaved = false;
  journal.reset();
  // The file now holds every change; should the journal outlive this, its
  // changes replay onto the file as the same registry.
  const std::filesystem::path journalPath = journalPathOf(file);
  if (::unlink(journalPath.c_str()) == 0 || errno == ENOENT || ::truncate(journalPath.c_str(), 0) == 0) {
    journalBytes = 0;
    journalTorn = false;
  }
}

void RegistryStore::Impl::close() noexcept {
  if (file.empty() || !unsaved) return;
  try {
    compact();
  } catch (...) {
    // The journal stays, and the next load reads it back.
  }
}

}  // namespace wince
