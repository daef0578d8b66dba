// The walk of a folder tree: every folder and file below a folder, depth
// first, each folder's entries in byte order of their names.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/folders.h"

namespace mailsift {

// One entry the walk meets. `path` is the parent's path, a separator and the name.
struct WalkEntry {
  std::string path;
  platform::EntryKind kind;  // Folder, RegularFile or OtherFile (links followed)
  // The open folder that holds the entry: the entry opens through it by
  // name() whatever the length of `path`. Whoever keeps a copy keeps the
  // folder open, so a copy is best dropped once it has served.
  std::shared_ptr<const platform::FolderHandle> folder;
  std::size_t nameStart = 0;  // where the entry's name begins in `path`

  std::string_view name() const noexcept { return std::string_view(path).substr(nameStart); }
};

struct WalkSummary {
  std::size_t folders = 0;          // folders met below the start folder
  std::size_t files = 0;            // files met, of any kind
  std::size_t unlistedFolders = 0;  // folders that could not be listed (the start folder included)
  std::size_t skippedLoops = 0;     // folders met again through links, not walked a second time
  bool stopped = false;             // the walk ended early on request
};

// Walks the tree below `folderPath` (with or without a closing "/"): depth
// first and pre-order, so a folder comes right before everything below it
// and that whole subtree before the folder's next sibling. Within a folder
// the entries come in byte order of their names. Hidden entries are walked;
// "." and ".." are not. Links are followed, but each folder (device and
// inode) is walked once: met again, through a link to an ancestor or along
// another path, it is reported and not entered again, so links can make the
// walk neither endless nor longer than the tree. Any depth is walked: each
// folder is opened through its parent, and at most a few dozen folders are
// held open at a time (not counting copies of WalkEntry::folder). A folder
// that cannot be listed adds nothing, one that cannot be opened again on the
// way back up (moved meanwhile) adds no more; both count as unlisted, and the
// walk goes on. `visit` is called for each entry on the calling thread, with
// an entry that lasts until it returns. When `stop` becomes true the walk ends
// at the next entry. Only entries whose names match `pattern` are met, at
// every level, folders included (a folder that does not match is not
// walked): "*.*" and "*" match every name; otherwise "*" stands for any run
// of characters and "?" for one. Throws only what `visit` throws, or
// std::bad_alloc.
WalkSummary walkFolderTree(const std::string& folderPath, const std::function<void(const WalkEntry&)>& visit,
                           const std::atomic<bool>* stop = nullptr, std::string_view pattern = "*.*");

}  // namespace mailsift
