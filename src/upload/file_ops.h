#pragma once
// File-system primitives of the video folders: existence tests that follow
// the rules operators know from the account list, a move and a copy that
// never replace an existing file, and the in-use test for videos that are
// still being copied into a folder.
#include <string>
#include <string_view>

namespace vidralo {

// A file or folder exists at `path`. An empty text and a path ending in a
// separator count as not existing, so a folder cell typed as "videos/" falls
// back to the default video folder.
bool pathExists(const std::string& path);

// Something other than a folder exists at `path`.
bool fileExists(const std::string& path);

// True when a file exists at `path` and some process (this one included)
// holds it open for writing, as a copy in progress does.
bool isFileInUse(const std::string& path);

// The same question answered by looking through every process's open files
// (those this user may see): the way left where the kernel will not answer
// it directly (a file of another owner, a file system without leases).
bool isFileInUseByAnyProcess(const std::string& path);

// An absolute path whose file name is not empty and holds none of the
// characters ? / \ < > * | : and the double quote.
bool isValidFilePath(std::string_view path);

// Moves `from` to `to`, also across file systems. Fails, leaving both in
// place, when `to` already exists.
bool moveFileNoReplace(const std::string& from, const std::string& to);

// Copies `from` to `to`; fails when `to` already exists. A failed copy leaves
// no partial target behind.
bool copyFileNoReplace(const std::string& from, const std::string& to);

// The part after the last "/".
std::string_view fileNameOf(std::string_view path);
// The part up to and including the last "/" (empty when there is none).
std::string_view folderOf(std::string_view path);
// The file name without its last extension ("a.b.mp4" -> "a.b").
std::string_view baseNameOf(std::string_view path);

}  // namespace vidralo
