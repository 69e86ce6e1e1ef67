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
//
// A change that cannot be written (a full disk, a read-only registry.reg)
// is refused: the store takes it back (store.cpp), so that the registry in
// memory stays the one the folder holds, and a folder that cannot take the
// whole file at load is read all the same, its journal kept.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

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

[[noreturn]] void failWrite(const std::filesystem::path& file, const std::string& why) {
  throw DeviceError("cannot write " + file.string() + ": " + why);
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
  // A registry file that may not be replaced (read-only) is read, and
  // every change refused.
  refusal = refusalToWrite(file);
  const std::filesystem::path journalPath = journalPathOf(file);
  std::string changes;
  if (!readWhole(journalPath, changes)) return;
  replayJournal(changes, journalPath.string(), roots);
  // Left by a run that did not end: folded in before anything is appended
  // after a change it may have left unfinished.
  try {
    compact();
  } catch (const DeviceError&) {
    // The folder cannot take the whole file now (a full disk): the
    // registry is read all the same. The journal stays, cut back to its
    // last whole change, and the file is written when it can be.
    unsaved = true;
    const size_t whole = changes.rfind('\n') == std::string::npos ? 0 : changes.rfind('\n') + 1;
    journalBytes = whole;
    if (whole < changes.size() && ::truncate(journalPath.c_str(), static_cast<off_t>(whole)) != 0) journalTorn = true;
  }
}

void RegistryStore::Impl::changed(const std::string& record) {
  if (!refusal.empty()) failWrite(file, refusal);
  unsaved = true;
  const std::filesystem::path journalPath = journalPathOf(file);
  if (journalTorn) {
    // Part of an earlier change may end the journal: the whole registry,
    // this change included, goes to the file instead.
    compact();
    return;
  }
  if (!journal) {
    // Not blocking: a FIFO in the journal's place is refused, not waited on.
    journal = UniqueFd(::open(journalPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NONBLOCK, 0644));
    if (!journal) failWrite(journalPath, std::strerror(errno));
    struct stat st {};
    if (::fstat(journal.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
      journal.reset();
      failWrite(journalPath, "it is not a regular file");
    }
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
      failWrite(journalPath, std::strerror(err));
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
  writeFileAtomically(file, text);
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
