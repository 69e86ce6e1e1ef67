// Replacing a file so that it appears whole or not at all.
#pragma once
#include <filesystem>
#include <string>
#include <string_view>

namespace wince {

// Writes `bytes` to a temporary file beside `file` (so the rename cannot
// cross file systems), flushes it to disk and renames it over `file`; a crash
// leaves either the old file or the new one. The folder must exist. On
// failure the temporary file is removed and std::system_error is thrown,
// its text saying which step failed ("cannot write: No space left on device").
void writeFileAtomically(const std::filesystem::path& file, std::string_view bytes);

// True when `name` is the name of a temporary file writeFileAtomically makes
// for a file named `target` (".registry.reg.XXXXXX" for "registry.reg"):
// one left behind by a process that ended between making and renaming it.
bool isTemporaryFileOf(const std::string& target, const std::string& name);

}  // namespace wince
