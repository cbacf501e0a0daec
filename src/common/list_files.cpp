#include "common/list_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>

#include "common/pumped_wait.h"

namespace vidralo {
namespace {

char foldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

struct DirectoryEntries {
  std::vector<std::string> files;
  std::vector<std::string> folders;
};

// Reads one folder. Symbolic links count as what they point to, but linked
// folders are not entered, so a link loop cannot make the listing endless.
DirectoryEntries readFolder(const std::string& folder) {
  DirectoryEntries entries;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return entries;
  const int dirFd = dirfd(dir);
  while (dirent* entry = readdir(dir)) {
    std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    unsigned char type = entry->d_type;
    if (type == DT_UNKNOWN || type == DT_LNK) {
      struct stat info {};
      if (fstatat(dirFd, entry->d_name, &info, 0) != 0) continue;
      if (S_ISDIR(info.st_mode)) {
        if (type == DT_LNK) continue;
        type = DT_DIR;
      } else {
        type = DT_REG;
      }
    }
    (type == DT_DIR ? entries.folders : entries.files).emplace_back(name);
  }
  closedir(dir);
  std::sort(entries.files.begin(), entries.files.end());
  std::sort(entries.folders.begin(), entries.folders.end());
  return entries;
}

std::vector<std::string_view> splitPatterns(std::string_view patterns) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start <= patterns.size()) {
    std::size_t bar = patterns.find('|', start);
    if (bar == std::string_view::npos) bar = patterns.size();
    if (bar > start) parts.push_back(patterns.substr(start, bar - start));
    start = bar + 1;
  }
  return parts;
}

void listInto(const std::string& folder, const std::vector<std::string_view>& patterns,
              std::vector<std::string>& list, bool withPath, bool recurse) {
  const DirectoryEntries entries = readFolder(folder);
  for (std::string_view pattern : patterns) {
    for (const std::string& name : entries.files) {
      if (!matchesWildcard(pattern, name)) continue;
      list.push_back(withPath ? folder + name : name);
      pumpPendingMessages();
    }
  }
  if (!recurse) return;
  for (const std::string& sub : entries.folders) {
    listInto(folder + sub + "/", patterns, list, withPath, recurse);
    pumpPendingMessages();
  }
}

}  // namespace

bool matchesWildcard(std::string_view pattern, std::string_view name) {
  // Iterative matcher with one backtrack point for the last "*".
  std::size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || foldCase(pattern[p]) == foldCase(name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

int listFiles(std::string folder, std::string_view patterns, std::vector<std::string>& list, bool withPath,
              bool recurse) {
  if (!recurse) list.clear();
  // An empty folder would become "/" and list the whole file system.
  if (folder.empty()) return static_cast<int>(list.size());
  if (folder.back() != '/') folder.push_back('/');
  listInto(folder, splitPatterns(patterns), list, withPath, recurse);
  return static_cast<int>(list.size());
}

}  // namespace vidralo
