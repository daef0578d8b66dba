// The folder walk, with an explicit stack so that a deep tree cannot
// exhaust the call stack, and through open folders so that it cannot outgrow
// the system's limit on the length of a path.
#include "sources/folder_walk.h"

#include <algorithm>
#include <unordered_set>

#include "platform/paths.h"

namespace mailsift {
namespace {

using platform::EntryKind;
using platform::FolderHandle;

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

// Folders the walk holds open at most: the start folder and the deepest ones
// on the current path. One further up is opened again when the walk returns
// to it, so a tree of any depth needs no more than these.
constexpr std::size_t kMostOpen = 64;

struct Frame {
  std::string prefix;         // the folder's path with its closing separator
  std::size_t nameStart = 0;  // where the folder's name begins in `prefix`
  platform::FileIdentity identity;
  std::shared_ptr<const FolderHandle> handle;  // empty while closed to save descriptors
  std::vector<platform::FolderEntry> entries;
  std::size_t next = 0;

  std::string path() const { return prefix.substr(0, prefix.size() - 1); }
  std::string name() const { return prefix.substr(nameStart, prefix.size() - 1 - nameStart); }
};

class Walk {
 public:
  Walk(const std::function<void(const WalkEntry&)>& visit, const std::atomic<bool>* stop, std::string_view pattern)
      : m_visit(visit), m_stop(stop), m_pattern(pattern) {}

  WalkSummary run(const std::string& folderPath) {
    platform::OpenedFolder start = FolderHandle::open(folderPath);
    if (!start.ok()) {
      ++m_summary.unlistedFolders;
      return m_summary;
    }
    m_walked.insert(start.identity);
    push(platform::withTrailingSeparator(folderPath), 0, folderPath, std::move(start));
    // The folder on top of the path is always open while its entries are met.
    while (!m_path.empty()) {
      if (m_stop != nullptr && m_stop->load(std::memory_order_relaxed)) {
        m_summary.stopped = true;
        break;
      }
      Frame& frame = m_path.back();
      if (frame.next == frame.entries.size()) {
        leave();
        continue;
      }
      const platform::FolderEntry& entry = frame.entries[frame.next++];
      if (!matchesPattern(entry.name, m_pattern)) continue;
      // One entry object for the whole walk: its path keeps its memory, and
      // the folder is shared anew only when it changes.
      if (m_entry.folder != frame.handle) m_entry.folder = frame.handle;
      m_entry.path.assign(frame.prefix).append(entry.name);
      m_entry.kind = entry.kind;
      m_entry.nameStart = frame.prefix.size();
      if (entry.kind == EntryKind::Folder) {
        ++m_summary.folders;
        m_visit(m_entry);
        enter(m_entry);  // may reallocate `m_path`: `frame` is not used after this
      } else {
        ++m_summary.files;
        m_visit(m_entry);
      }
    }
    return m_summary;
  }

 private:
  void enter(const WalkEntry& folder) {
    platform::OpenedFolder opened = folder.folder->openFolder(std::string(folder.name()), folder.path);
    if (!opened.ok()) {
      ++m_summary.unlistedFolders;
      return;
    }
    if (!m_walked.insert(opened.identity).second) {
      ++m_summary.skippedLoops;
      return;
    }
    push(folder.path + platform::kPathSeparator, folder.nameStart, folder.path, std::move(opened));
  }

  void push(std::string prefix, std::size_t nameStart, const std::string& path, platform::OpenedFolder opened) {
    platform::FolderListing listing = opened.handle.list(path);
    if (!listing.ok()) {
      ++m_summary.unlistedFolders;
      return;
    }
    m_path.push_back({std::move(prefix), nameStart, opened.identity,
                      std::make_shared<const FolderHandle>(std::move(opened.handle)), std::move(listing.entries)});
    ++m_open;
    keepWithinLimit();
  }

  // Closes the shallowest open folders but the start folder: the walk
  // returns to them last.
  void keepWithinLimit() {
    while (m_open > kMostOpen) {
      while (!m_path[m_lowestOpen].handle) ++m_lowestOpen;
      m_path[m_lowestOpen].handle.reset();
      --m_open;
    }
  }

  void leave() {
    const std::shared_ptr<const FolderHandle> left = std::move(m_path.back().handle);
    if (left) --m_open;
    m_path.pop_back();
    if (m_path.empty() || m_path.back().handle) return;
    if (!reopenTop(left.get())) {
      // Moved or removed meanwhile: the rest of the folder cannot be reached.
      ++m_summary.unlistedFolders;
      m_path.back().next = m_path.back().entries.size();
    }
  }

  // Opens the folder on top of the path again, after the walk of `left`,
  // the folder just left, if it is still open.
  bool reopenTop(const FolderHandle* left) {
    const std::size_t top = m_path.size() - 1;
    Frame& frame = m_path[top];
    // Most often the folder just left lies in this one, and its ".." is this
    // one; not so when a link led into it.
    if (left != nullptr) {
      platform::OpenedFolder up = left->openFolder("..", frame.path());
      if (up.ok() && up.identity == frame.identity) {
        frame.handle = std::make_shared<const FolderHandle>(std::move(up.handle));
        ++m_open;
        m_lowestOpen = std::min(m_lowestOpen, top);
        return true;
      }
    }
    // Otherwise name by name from the nearest open folder above it.
    std::size_t from = top;
    while (!m_path[from - 1].handle) --from;  // the start folder stays open
    m_lowestOpen = std::min(m_lowestOpen, from);
    for (std::size_t i = from; i <= top; ++i) {
      Frame& step = m_path[i];
      platform::OpenedFolder opened = m_path[i - 1].handle->openFolder(step.name(), step.path());
      if (!opened.ok() || opened.identity != step.identity) return false;
      step.handle = std::make_shared<const FolderHandle>(std::move(opened.handle));
      ++m_open;
    }
    keepWithinLimit();
    return true;
  }

  const std::function<void(const WalkEntry&)>& m_visit;
  const std::atomic<bool>* m_stop;
  std::string_view m_pattern;
  WalkSummary m_summary;
  WalkEntry m_entry{{}, EntryKind::OtherFile, nullptr, 0};
  std::vector<Frame> m_path;  // the folders from the start folder down to the current one
  // Every folder walked so far, so that none is walked twice.
  std::unordered_set<platform::FileIdentity, platform::FileIdentityHash> m_walked;
  std::size_t m_open = 0;        // folders on the path that are open
  std::size_t m_lowestOpen = 1;  // no folder between the start folder and this one is open
};

}  // namespace

WalkSummary walkFolderTree(const std::string& folderPath, const std::function<void(const WalkEntry&)>& visit,
                           const std::atomic<bool>* stop, std::string_view pattern) {
  return Walk(visit, stop, pattern).run(folderPath);
}

}  // namespace mailsift
