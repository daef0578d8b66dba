// Exclusive file creation, removal and renaming on POSIX.
#include "platform/exclusive_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace mailsift::platform {
namespace {

// The system reads a path only up to a NUL byte, so one that holds a NUL
// would create, rename or remove another file than the one asked for (a
// URL's name part can carry one).
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
  // fclose releases the stream even when it fails, so it is called once only.
  if (std::fclose(stream) != 0 && error == 0) error = errno != 0 ? errno : EIO;
  return error;
}

ExclusiveCreateResult createExclusiveFile(const std::string& path) {
  ExclusiveCreateResult result;
  if (holdsNul(path)) {
    result.failure = nulInPath(path);
    return result;
  }
  // O_EXCL with O_CREAT fails on any existing name, a symbolic link
  // included (dangling or not); O_NOFOLLOW makes that explicit.
  int fd = -1;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    const int error = errno;
    result.failure = failureFromSystemError(error, path, FailureKind::WriteFailed);
    // A name ending in "/" that names a folder gives EISDIR: it is taken too.
    if (error == EISDIR) result.failure->kind = FailureKind::Exists;
    return result;
  }
  std::FILE* stream = ::fdopen(fd, "wb");
  if (stream == nullptr) {
    result.failure = failureFromSystemError(errno, path, FailureKind::WriteFailed);
    ::close(fd);
    ::unlink(path.c_str());  // ours: it was created just now
    return result;
  }
  result.file = ExclusiveFile(stream);
  return result;
}

std::optional<Failure> removeFile(const std::string& path) {
  if (holdsNul(path)) return nulInPath(path);
  if (::unlink(path.c_str()) == 0) return std::nullopt;
  return failureFromSystemError(errno, path, FailureKind::WriteFailed);
}

std::optional<Failure> replaceFile(const std::string& from, const std::string& to) {
  if (holdsNul(from) || holdsNul(to)) return nulInPath(to);
  if (::rename(from.c_str(), to.c_str()) == 0) return std::nullopt;
  return failureFromSystemError(errno, to, FailureKind::WriteFailed);
}

}  // namespace mailsift::platform
