// Listing the entries of one folder, for the walk of a folder tree.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/failure.h"

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
  FolderIdentity identity;           // of the folder itself (links at the path followed)
  std::vector<FolderEntry> entries;  // every entry but "." and "..", in byte order of names
  // Set when the folder could not be opened; a listing cut short by a read
  // error is no failure and holds the entries read until then.
  std::optional<Failure> failure;

  bool ok() const noexcept { return !failure; }
};

// Lists the folder at `path` (a link at the path is followed). Entries come
// sorted by the bytes of their names, so a walk is the same on every system
// and every run. Hidden entries are included. Thread-safe. Throws
// std::bad_alloc when memory runs out; every other failure is in the result.
[[nodiscard]] FolderListing listFolder(const std::string& path);

}  // namespace mailsift::platform
