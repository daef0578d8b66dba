// Open folders on Windows. Paths of up to 32767 characters open through
// "\\?\", so a folder is opened and listed by its full path; the handle
// keeps it from being removed or renamed while it is open, and gives its
// identity.
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <utility>

#include "platform/folders.h"
#include "platform/win32/win32_text.h"

namespace mailsift::platform {
namespace {

HANDLE handleOf(NativeHandle handle) noexcept { return reinterpret_cast<HANDLE>(handle); }

EntryKind kindOf(const WIN32_FIND_DATAW& entry) noexcept {
  if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return EntryKind::Folder;
  if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0) return EntryKind::OtherFile;
  return EntryKind::RegularFile;
}

std::string joined(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/' || folder.back() == '\\') return folder + name;
  return folder + "/" + name;
}

}  // namespace

OpenedFolder FolderHandle::adopt(NativeHandle handle, const std::string& path) {
  OpenedFolder folder;
  if (handle < 0) {
    folder.failure = win32::failureFromWin32(::GetLastError(), path, FailureKind::ReadFailed);
    return folder;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handleOf(handle), &info)) {
    folder.failure = win32::failureFromWin32(::GetLastError(), path, FailureKind::ReadFailed);
    ::CloseHandle(handleOf(handle));
    return folder;
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    ::CloseHandle(handleOf(handle));
    folder.failure = failureFromSystemError(ENOTDIR, path, FailureKind::ReadFailed);
    return folder;
  }
  folder.identity = {info.dwVolumeSerialNumber, std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow};
  folder.handle = FolderHandle(handle);
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
  if (m_handle >= 0) ::CloseHandle(handleOf(m_handle));
  m_handle = -1;
}

OpenedFolder FolderHandle::open(const std::string& path) {
  // FILE_FLAG_BACKUP_SEMANTICS opens a folder; without delete sharing
  // nobody removes it while it is walked.
  const HANDLE handle =
      ::CreateFileW(win32::widePath(path).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  return adopt(handle == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<NativeHandle>(handle), path);
}

OpenedFolder FolderHandle::openFolder(const std::string& /*name*/, const std::string& path) const { return open(path); }

FolderListing FolderHandle::list(const std::string& path) const {
  FolderListing listing;
  const std::wstring pattern = win32::widePath(joined(path, "*"));
  WIN32_FIND_DATAW entry{};
  const HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr,
                                           FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) {
    listing.failure = win32::failureFromWin32(::GetLastError(), path, FailureKind::ReadFailed);
    return listing;
  }
  do {
    const std::wstring_view name(entry.cFileName);
    if (name == L"." || name == L"..") continue;
    listing.entries.push_back({win32::utf8(std::wstring(name)), kindOf(entry)});
  } while (::FindNextFileW(search, &entry));
  // A listing cut short by a read error is still used as far as it got.
  ::FindClose(search);
  std::sort(listing.entries.begin(), listing.entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return listing;
}

}  // namespace mailsift::platform
