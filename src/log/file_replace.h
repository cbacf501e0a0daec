#pragma once
// Whole-file writes that never leave a half-written file behind: the new
// contents go to a temporary file beside the target, which then replaces the
// target in one rename. A crash, a kill or a full disk leaves either the old
// file or the new one.
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace vidralo {

// Replaces the file at `path` (a symbolic link is followed) with `bytes`. An
// existing file keeps its permission bits; a new one gets `newFileMode`. A
// file without any write permission bit counts as read-only and is left
// alone. False, with the old file untouched, on any failure.
bool replaceFileContents(const std::string& path, std::string_view bytes, mode_t newFileMode);

// Removes the temporary files that replaceFileContents leaves in `folder`
// when the program is killed during a save. Returns how many were removed.
int removeLeftoverTemporaryFiles(const std::string& folder);

// Writes every byte to the open descriptor `fd`; false on any failure.
bool writeAllBytes(int fd, std::string_view bytes);

enum class ReadOutcome { Read, Missing, Failed };

// Reads the whole regular file at `path` into `bytes`. Missing: nothing
// exists there; Failed: something exists but cannot be read as a file, or
// holds more than `maxBytes`. Never blocks on a FIFO and never reads a
// device, whose contents may have no end.
ReadOutcome readWholeFile(const std::string& path, std::string& bytes,
                          std::size_t maxBytes = std::numeric_limits<std::size_t>::max());

}  // namespace vidralo
