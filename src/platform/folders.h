// Open folders and their listings, for the walk of a folder tree. A folder
// is opened through the folder that holds it, by name, so that a tree of any
// depth can be walked whatever the system's limit on the length of a path.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/file_identity.h"
#include "platform/native_handle.h"

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

struct FolderListing {
  std::vector<FolderEntry> entries;  // every entry but "." and "..", in byte order of names
  // Set when the folder could not be read at all; a listing cut short by a
  // read error is no failure and holds the entries read until then.
  std::optional<Failure> failure;

  bool ok() const noexcept { return !failure; }
};

struct OpenedFolder;

// An open folder. Owns the system's handle and closes it when destroyed.
// Move-only. Its const members may be called from several threads at once.
class FolderHandle {
 public:
  FolderHandle() noexcept = default;
  ~FolderHandle();
  FolderHandle(FolderHandle&& other) noexcept;
  FolderHandle& operator=(FolderHandle&& other) noexcept;
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;

  // Opens the folder at `path` (a link at the path is followed). Failures
  // name `path`. Thread-safe.
  [[nodiscard]] static OpenedFolder open(const std::string& path);

  // Opens the folder `name` in this one (one name, no "/"; a link is
  // followed; ".." is the folder that holds this one on its device).
  // Failures name `path`, the full path that `name` stands for, which is
  // never used to open anything and may be longer than the system takes.
  [[nodiscard]] OpenedFolder openFolder(const std::string& name, const std::string& path) const;

  // Lists this folder: entries come sorted by the bytes of their names, so a
  // walk is the same on every system and every run. Hidden entries are
  // included. Failures name `path`. Throws std::bad_alloc when memory runs
  // out; every other failure is in the result.
  [[nodiscard]] FolderListing list(const std::string& path) const;

  bool isOpen() const noexcept { return m_handle >= 0; }

 private:
  friend class InputFile;
  explicit FolderHandle(NativeHandle handle) noexcept : m_handle(handle) {}
  // Takes over `handle`, the outcome of an open that may have failed.
  static OpenedFolder adopt(NativeHandle handle, const std::string& path);
  void release() noexcept;

  NativeHandle m_handle = kNoHandle;  // the system's handle of the open folder
};

struct OpenedFolder {
  FolderHandle handle;    // open unless `failure` is set
  FileIdentity identity;  // of the folder itself, links followed
  std::optional<Failure> failure;

  bool ok() const noexcept { return !failure; }
};

}  // namespace mailsift::platform
