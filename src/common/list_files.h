#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace vidralo {

// Lists the files of `folder` that match `patterns` ("*.jpg|*.png": several
// wildcard patterns separated by "|", case ignored), pattern by pattern; with
// `recurse`, then the sub-folders, depth first, each appending to `list`.
// Without `recurse` the list is emptied first. Inside one folder, names come
// in name order, as the original file system listed them. Entries carry the
// folder in front when `withPath` is set. Pending window messages of the
// calling thread are served after every file. Returns the list's size.
int listFiles(std::string folder, std::string_view patterns, std::vector<std::string>& list, bool withPath,
              bool recurse);

// Wildcard match of a file name: "*" any run, "?" any one character; ASCII
// letters compare without case.
bool matchesWildcard(std::string_view pattern, std::string_view name);

}  // namespace vidralo
