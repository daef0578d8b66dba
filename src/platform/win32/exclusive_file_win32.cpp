// Exclusive file creation, removal and renaming on Windows. CREATE_NEW fails
// on any existing name, a symbolic link included, in one step.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include "platform/exclusive_file.h"
#include "platform/win32/win32_text.h"

namespace mailsift::platform {
namespace {

// A path with a NUL byte would name another file than the one asked for.
bool holdsNul(const std::string& path) noexcept { return path.find('\0') != std::string::npos; }

Failure nulInPath(const std::string& path) { return failureFromSystemError(EINVAL, path, FailureKind::WriteFailed); }

}  // namespace

ExclusiveFile::~ExclusiveFile() { release(); }

ExclusiveFile::ExclusiveFile(ExclusiveFile&& other) noexcept : m_stream(std::exchange(other.m_stream, nullptr)) {}

ExclusiveFile& ExclusiveFile::operator=(ExclusiveFile&& other) noexcept {
  if (this != &other) {
    release();
    m_stream = std::exchange(other.m_stream, nullptr);
  }
  return *this;
}

void ExclusiveFile::release() noexcept {
  if (m_stream != nullptr) (void)std::fclose(std::exchange(m_stream, nullptr));
}

int ExclusiveFile::close() noexcept {
  if (m_stream == nullptr) return 0;
  std::FILE* stream = std::exchange(m_stream, nullptr);
  int error = 0;
  errno = 0;
  if (std::fflush(stream) != 0) error = errno != 0 ? errno : EIO;
  if (std::fclose(stream) != 0 && error == 0) error = errno != 0 ? errno : EIO;
  return error;
}

ExclusiveCreateResult createExclusiveFile(const std::string& path) {
  ExclusiveCreateResult result;
  if (holdsNul(path)) {
    result.failure = nulInPath(path);
    return result;
  }
  const std::wstring name = win32::widePath(path);
  // Files this process creates for itself: no other process shares them
  // while they are written.
  const HANDLE handle = ::CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    result.failure = win32::failureFromWin32(error, path, FailureKind::WriteFailed);
    // A folder under the name: the name is taken.
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES)
      result.failure->kind = FailureKind::Exists;
    return result;
  }
  const int fd = ::_open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_WRONLY | _O_BINARY);
  std::FILE* stream = fd < 0 ? nullptr : ::_fdopen(fd, "wb");
  if (stream == nullptr) {
    result.failure = failureFromSystemError(errno, path, FailureKind::WriteFailed);
    if (fd >= 0) {
      ::_close(fd);
    } else {
      ::CloseHandle(handle);
    }
    ::DeleteFileW(name.c_str());  // ours: it was created just now
    return result;
  }
  result.file = ExclusiveFile(stream);
  return result;
}

std::optional<Failure> removeFile(const std::string& path) {
  if (holdsNul(path)) return nulInPath(path);
  if (::DeleteFileW(win32::widePath(path).c_str())) return std::nullopt;
  return win32::failureFromWin32(::GetLastError(), path, FailureKind::WriteFailed);
}

std::optional<Failure> replaceFile(const std::string& from, const std::string& to) {
  if (holdsNul(from) || holdsNul(to)) return nulInPath(to);
  if (::MoveFileExW(win32::widePath(from).c_str(), win32::widePath(to).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return std::nullopt;
  }
  return win32::failureFromWin32(::GetLastError(), to, FailureKind::WriteFailed);
}

}  // namespace mailsift::platform
