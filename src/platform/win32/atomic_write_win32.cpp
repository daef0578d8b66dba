// Replacing a file through a temporary file beside it and MoveFileEx on
// Windows. Not yet done here as on POSIX: links on the way are followed
// without judging their owner (creating one needs a privilege on Windows),
// and the new file takes the folder's default security, not the old
// file's.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <random>
#include <utility>

#include "platform/atomic_write.h"
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

}  // namespace

std::optional<Failure> writeFileReplacing(const std::string& path, std::string_view bytes) {
  if (path.find('\0') != std::string::npos) return failureFromSystemError(EINVAL, path, FailureKind::WriteFailed);
  const std::wstring target = win32::widePath(path);
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return failureFromSystemError(EISDIR, path, FailureKind::WriteFailed);
  }
  const std::size_t slash = path.find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) return failureFromSystemError(EISDIR, path, FailureKind::WriteFailed);
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
    std::optional<Failure> failure = writeAll(file.get(), bytes, path);
    if (!failure && !::FlushFileBuffers(file.get())) {
      failure = win32::failureFromWin32(::GetLastError(), path, FailureKind::WriteFailed);
    }
    if (!file.close() && !failure) failure = win32::failureFromWin32(::GetLastError(), path, FailureKind::WriteFailed);
    if (!failure) {
      // The hidden mark was only for the temporary file.
      ::SetFileAttributesW(wideTemporary.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (::MoveFileExW(wideTemporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return std::nullopt;
      }
      failure = win32::failureFromWin32(::GetLastError(), path, FailureKind::WriteFailed);
    }
    ::DeleteFileW(wideTemporary.c_str());
    return failure;
  }
  return failureFromSystemError(EEXIST, path, FailureKind::WriteFailed);
}

}  // namespace mailsift::platform
