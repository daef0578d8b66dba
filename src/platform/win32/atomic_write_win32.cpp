// Replacing a file through a temporary file beside it, swapped in with
// ReplaceFileW on Windows, so the file keeps its security and attributes.
// Not done here as on POSIX: links on the way are followed without judging
// their owner (creating one needs a privilege on Windows).
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <random>
#include <utility>

#include "platform/atomic_write.h"
#include "platform/temporary_files.h"
#include "platform/win32/win32_text.h"

namespace mailsift::platform {
namespace {

constexpr int kNameAttempts = 100;
// Room for the suffix within the usual 255-character limit of one name.
constexpr std::size_t kMaxNameStem = 200;
constexpr std::size_t kMaxChunk = std::size_t{1} << 30;

class Handle {
 public:
  explicit Handle(HANDLE handle) noexcept : m_handle(handle) {}
  ~Handle() { close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const noexcept { return m_handle; }
  bool ok() const noexcept { return m_handle != INVALID_HANDLE_VALUE; }
  bool close() noexcept {
    if (!ok()) return true;
    return ::CloseHandle(std::exchange(m_handle, INVALID_HANDLE_VALUE)) != 0;
  }

 private:
  HANDLE m_handle;
};

std::string randomSuffix() {
  static std::atomic<unsigned> counter{0};
  std::random_device device;
  const auto now = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
  char text[24];
  std::snprintf(text, sizeof text, "%08x%04x", device() ^ now,
                static_cast<unsigned>((counter++ ^ ::GetCurrentProcessId()) & 0xFFFFu));
  return text;
}

std::optional<Failure> writeAll(HANDLE file, std::string_view bytes, const std::string& path) {
  while (!bytes.empty()) {
    const auto want = static_cast<DWORD>(std::min(bytes.size(), kMaxChunk));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), want, &written, nullptr)) {
      return win32::failureFromWin32(::GetLastError(), path, FailureKind::WriteFailed);
    }
    bytes.remove_prefix(written);
  }
  return std::nullopt;
}

// Puts the finished temporary file in the target's place. An existing
// target is swapped with ReplaceFileW, which keeps its attributes, security
// and creation time, and leaves it untouched under its own name on every
// failure (no backup name is given, so it is never moved aside); a new one
// is the temporary file renamed.
std::optional<Failure> swapIn(const std::wstring& temporary, const std::wstring& target, const std::string& path) {
  // A program that holds the target open without sharing its deletion
  // makes the swap fail; finding that first keeps the failure clean (Wine's
  // ReplaceFileW leaves a stray file behind when it fails).
  const HANDLE probe = ::CreateFileW(target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      return win32::failureFromWin32(error, path, FailureKind::WriteFailed);
    }
  } else {
    ::CloseHandle(probe);
  }
  if (::ReplaceFileW(target.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
    return std::nullopt;
  }
  const DWORD error = ::GetLastError();
  if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
    return win32::failureFromWin32(error, path, FailureKind::WriteFailed);
  }
  // No target (or it went away meanwhile): without MOVEFILE_REPLACE_EXISTING
  // a file that appears in between is never overwritten unseen.
  if (::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) return std::nullopt;
  return win32::failureFromWin32(::GetLastError(), path, FailureKind::WriteFailed);
}

}  // namespace

std::optional<Failure> writeFileReplacing(const std::string& path, std::string_view bytes) {
  if (path.find('\0') != std::string::npos)
    return win32::failureFromWin32(ERROR_INVALID_NAME, path, FailureKind::WriteFailed);
  const std::wstring target = win32::widePath(path);
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    Failure failure = win32::failureFromWin32(ERROR_ACCESS_DENIED, path, FailureKind::WriteFailed);
    failure.kind = FailureKind::IsFolder;
    return failure;
  }
  const std::size_t slash = path.find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) return win32::failureFromWin32(ERROR_ACCESS_DENIED, path, FailureKind::WriteFailed);
  const std::string stem = folder + "." + name.substr(0, std::min(name.size(), kMaxNameStem)) + ".mailsift-";

  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string temporary = stem + randomSuffix();
    const std::wstring wideTemporary = win32::widePath(temporary);
    Handle file(::CreateFileW(wideTemporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY, nullptr));
    if (!file.ok()) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      return asStepOf(win32::failureFromWin32(error, temporary, FailureKind::WriteFailed), path,
                      "cannot create " + temporary);
    }
    const TemporaryFileGuard removedOnInterrupt(temporary);
    std::optional<Failure> failure = writeAll(file.get(), bytes, path);
    if (!failure && !::FlushFileBuffers(file.get())) {
      failure = win32::failureFromWin32(::GetLastError(), path, FailureKind::WriteFailed);
    }
    if (!file.close() && !failure) failure = win32::failureFromWin32(::GetLastError(), path, FailureKind::WriteFailed);
    if (!failure) {
      // The hidden mark was only for the temporary file; a file replaced
      // keeps its own marks (ReplaceFileW does so too, but not everywhere).
      const DWORD old = ::GetFileAttributesW(target.c_str());
      const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
      ::SetFileAttributesW(wideTemporary.c_str(),
                           old == INVALID_FILE_ATTRIBUTES || (old & kept) == 0 ? FILE_ATTRIBUTE_NORMAL : old & kept);
      failure = swapIn(wideTemporary, target, path);
      if (!failure) return std::nullopt;
    }
    ::DeleteFileW(wideTemporary.c_str());
    return failure;
  }
  return win32::failureFromWin32(ERROR_FILE_EXISTS, path, FailureKind::WriteFailed);
}

}  // namespace mailsift::platform
