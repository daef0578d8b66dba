// Open folders on POSIX: a folder is opened with openat through the one that
// holds it, and listed through a descriptor of its own, so several threads
// may open files in a folder while it is listed. An extra stat only for
// links and for file systems that do not report types.
#include "platform/folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace mailsift::platform {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

int descriptorOf(NativeHandle handle) noexcept { return static_cast<int>(handle); }

EntryKind kindOfMode(mode_t mode) {
  if (S_ISDIR(mode)) return EntryKind::Folder;
  if (S_ISREG(mode)) return EntryKind::RegularFile;
  return EntryKind::OtherFile;
}

EntryKind kindOf(int folder, const dirent& entry) {
  switch (entry.d_type) {
    case DT_DIR:
      return EntryKind::Folder;
    case DT_REG:
      return EntryKind::RegularFile;
    case DT_LNK:
    case DT_UNKNOWN: {
      struct stat info {};
      if (::fstatat(folder, entry.d_name, &info, 0) != 0) return EntryKind::OtherFile;
      return kindOfMode(info.st_mode);
    }
    default:
      return EntryKind::OtherFile;
  }
}

}  // namespace

// A failed open left -1 and errno.
OpenedFolder FolderHandle::adopt(NativeHandle handle, const std::string& path) {
  const int fd = descriptorOf(handle);
  OpenedFolder folder;
  if (fd < 0) {
    folder.failure = failureFromSystemError(errno, path, FailureKind::ReadFailed);
    return folder;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    folder.failure = failureFromSystemError(errno, path, FailureKind::ReadFailed);
    ::close(fd);
    return folder;
  }
  folder.identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
  folder.handle = FolderHandle(fd);
  return folder;
}

FolderHandle::~FolderHandle() { release(); }

FolderHandle::FolderHandle(FolderHandle&& other) noexcept : m_handle(std::exchange(other.m_handle, -1)) {}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
  if (this != &other) {
    release();
    m_handle = std::exchange(other.m_handle, -1);
  }
  return *this;
}

void FolderHandle::release() noexcept {
  if (m_handle >= 0) ::close(descriptorOf(m_handle));
  m_handle = -1;
}

OpenedFolder FolderHandle::open(const std::string& path) { return adopt(::open(path.c_str(), kFolderFlags), path); }

OpenedFolder FolderHandle::openFolder(const std::string& name, const std::string& path) const {
  return adopt(::openat(descriptorOf(m_handle), name.c_str(), kFolderFlags), path);
}

FolderListing FolderHandle::list(const std::string& path) const {
  FolderListing listing;
  // A descriptor of its own: the stream takes it over and moves its offset,
  // which a dup() would share with this handle.
  const int folder = ::openat(descriptorOf(m_handle), ".", kFolderFlags);
  DIR* stream = folder < 0 ? nullptr : ::fdopendir(folder);
  if (stream == nullptr) {
    listing.failure = failureFromSystemError(errno, path, FailureKind::ReadFailed);
    if (folder >= 0) ::close(folder);
    return listing;
  }
  for (;;) {
    const dirent* entry = ::readdir(stream);
    if (entry == nullptr) break;
    const std::string_view name(entry->d_name);
    if (name == "." || name == "..") continue;
    listing.entries.push_back({std::string(name), kindOf(folder, *entry)});
  }
  // A listing cut short by a read error is still used as far as it got.
  ::closedir(stream);
  std::sort(listing.entries.begin(), listing.entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return listing;
}

}  // namespace mailsift::platform
