// Folder listing on POSIX: one open, one fstat and readdir per folder; an
// extra stat only for links and for file systems that do not report types.
#include "platform/folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace mailsift::platform {
namespace {

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

FolderListing failedListing(int error, const std::string& path) {
  FolderListing listing;
  listing.failure = failureFromSystemError(error, path, FailureKind::ReadFailed);
  return listing;
}

}  // namespace

FolderListing listFolder(const std::string& path) {
  const int folder = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return failedListing(errno, path);
  struct stat info {};
  if (::fstat(folder, &info) != 0) {
    const int error = errno;
    ::close(folder);
    return failedListing(error, path);
  }
  FolderListing listing;
  listing.identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};

  DIR* stream = ::fdopendir(folder);  // takes over the descriptor
  if (stream == nullptr) {
    const int error = errno;
    ::close(folder);
    return failedListing(error, path);
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
