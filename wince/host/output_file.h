// Files the device and its tools leave for a person or another program
// (screenshots, contact sheets, transcripts, figures, the registry file):
// each appears whole or not at all.
#pragma once
#include <filesystem>
#include <string>
#include <string_view>

namespace wince {

// Writes `bytes` to a temporary file beside the target (so the rename cannot
// cross file systems), flushes it to disk and renames it over the target; a
// crash leaves either the old file or the new one. The target is `file`, or
// what it names when it is a symbolic link (the link stays as it is). Only a
// regular file is replaced, keeping its permissions, or a new one made; a
// read-only file, a folder, a FIFO, a device or a socket is refused. Throws
// DeviceError("cannot write FILE: why") naming `file` as given, its reason
// the system's words for a failed write, flush, close or rename.
void writeFileAtomically(const std::filesystem::path& file, std::string_view bytes);

// Why writeFileAtomically would refuse `file` before writing anything
// ("it is read-only", "it is a FIFO, not a regular file"); empty when it may
// be written (a regular file that is not read-only, or no file yet).
std::string refusalToWrite(const std::filesystem::path& file);

}  // namespace wince
