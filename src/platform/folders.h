// Listing the entries of one folder, for the walk of a folder tree.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mailsift::platform {

// What an entry is, after following links: a link to a folder is a Folder.
enum class EntryKind : unsigned char {
  Folder,
  RegularFile,
  OtherFile,  // FIFO, socket, device, or a link that leads nowhere
};

struct FolderEntry {
  std::string name;
  EntryKind kind;
};

// Tells folders apart even when links lead to the same one twice.
struct FolderIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  friend bool operator==(const FolderIdentity&, const FolderIdentity&) = default;
};

struct FolderListing {
  bool ok = false;           // false: the folder could not be opened or read
  int systemError = 0;       // the system's error number when !ok
  FolderIdentity identity;   // of the folder itself (links at the path followed)
  std::vector<FolderEntry> entries;  // every entry but "." and "..", in byte order of names
};

// Lists the folder at `path` (a link at the path is followed). Entries come
// sorted by the bytes of their names, so a walk is the same on every system
// and every run. Hidden entries are included. Thread-safe. Throws
// std::bad_alloc when memory runs out; every other failure is in the result.
[[nodiscard]] FolderListing listFolder(const std::string& path);

}  // namespace mailsift::platform
