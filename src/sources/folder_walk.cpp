// The folder walk, with an explicit stack so that a deep tree cannot
// exhaust the call stack.
#include "sources/folder_walk.h"

#include <algorithm>

namespace mailsift {
namespace {

using platform::EntryKind;

bool matchesPattern(std::string_view name, std::string_view pattern) {
  if (pattern == "*.*" || pattern == "*") return true;
  // Plain glob with backtracking on the last "*".
  std::size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
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

struct Frame {
  std::string prefix;  // the folder's path with its closing "/"
  platform::FolderIdentity identity;
  std::vector<platform::FolderEntry> entries;
  std::size_t next = 0;
};

}  // namespace

std::string withTrailingSlash(std::string path) {
  if (path.empty() || path.back() != '/') path.push_back('/');
  return path;
}

WalkSummary walkFolderTree(const std::string& folderPath, const std::function<void(const WalkEntry&)>& visit,
                           const std::atomic<bool>* stop, std::string_view pattern) {
  WalkSummary summary;
  std::vector<Frame> path;  // the folders from the start folder down to the current one
  auto enter = [&](const std::string& folder) {
    platform::FolderListing listing = platform::listFolder(folder);
    if (!listing.ok()) {
      ++summary.unlistedFolders;
      return;
    }
    const bool onPath =
        std::any_of(path.begin(), path.end(), [&](const Frame& frame) { return frame.identity == listing.identity; });
    if (onPath) {
      ++summary.skippedLoops;
      return;
    }
    path.push_back({withTrailingSlash(folder), listing.identity, std::move(listing.entries), 0});
  };

  enter(folderPath);
  while (!path.empty()) {
    if (stop != nullptr && stop->load(std::memory_order_relaxed)) {
      summary.stopped = true;
      break;
    }
    Frame& frame = path.back();
    if (frame.next == frame.entries.size()) {
      path.pop_back();
      continue;
    }
    const platform::FolderEntry& entry = frame.entries[frame.next++];
    if (!matchesPattern(entry.name, pattern)) continue;
    const WalkEntry walked{frame.prefix + entry.name, entry.kind};
    if (entry.kind == EntryKind::Folder) {
      ++summary.folders;
      visit(walked);
      enter(walked.path);  // may reallocate `path`: `frame` is not used after this
    } else {
      ++summary.files;
      visit(walked);
    }
  }
  return summary;
}

}  // namespace mailsift
