#pragma once
// Whole-file writes that never leave a half-written file behind: the new
// contents go to a temporary file beside the target, which then replaces the
// target in one rename. A crash, a kill or a full disk leaves either the old
// file or the new one.
#include <functional>
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

// Removes the regular files of `folder` whose name `isLeftover` accepts and
// that no process holds a lock on (flock): files whose writer was killed.
// Returns how many were removed.
int removeUnlockedFiles(const std::string& folder, const std::function<bool(std::string_view name)>& isLeftover);

// Writes every byte to the open descriptor `fd`; false on any failure.
bool writeAllBytes(int fd, std::string_view bytes);

// True when `path` itself is a symbolic link.
bool isSymbolicLink(const std::string& path);

// Appends `bytes` to the program's own file at `path`, created with `mode`
// and narrowed to it when it already exists. A symbolic link in its place is
// never followed (false): a log linked to a file elsewhere must not write
// there.
bool appendToOwnFile(const std::string& path, std::string_view bytes, mode_t mode);

}  // namespace vidralo
