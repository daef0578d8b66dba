// Replacing a file through a temporary file and rename(2) on POSIX.
#include "platform/atomic_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <memory>

namespace mailsift::platform {
namespace {

constexpr int kNameAttempts = 100;
// Room for the suffix within the usual 255-byte limit of one name.
constexpr std::size_t kMaxNameStem = 200;
// Some systems cap one write at 2 GiB.
constexpr std::size_t kMaxChunk = std::size_t{1} << 30;

Failure failed(int error, const std::string& path) {
  return failureFromSystemError(error, path, FailureKind::WriteFailed);
}

// Writes all of `bytes` to `fd`; returns 0 or the error number.
int writeAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t want = std::min(bytes.size() - done, kMaxChunk);
    const ssize_t got = ::write(fd, bytes.data() + done, want);
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (got == 0) return ENOSPC;  // no progress and no reason given
    done += static_cast<std::size_t>(got);
  }
  return 0;
}

// Devices and FIFOs cannot be renamed over; they take the bytes directly.
std::optional<Failure> writeInPlace(const std::string& target, const std::string& path, std::string_view bytes) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return failed(errno, path);
  const int error = writeAll(fd, bytes);
  if (::close(fd) != 0 && error == 0) return failed(errno, path);
  if (error != 0) return failed(error, path);
  return std::nullopt;
}

std::string temporaryName(const std::string& folder, const std::string& name) {
  static std::atomic<unsigned> counter{0};
  return folder + "." + name.substr(0, kMaxNameStem) + ".mailsift-" + std::to_string(::getpid()) + "-" +
         std::to_string(counter.fetch_add(1, std::memory_order_relaxed));
}

// Fills the new temporary file behind `fd`: permissions first, so the
// content is never visible under looser ones, then the bytes, fsync, close.
// Returns 0 or the error number; `fd` is closed either way.
int fillTemporary(int fd, std::string_view bytes, const struct stat* previous) {
  int error = 0;
  if (previous != nullptr && ::fchmod(fd, previous->st_mode & 0777) != 0) error = errno;
  if (error == 0) error = writeAll(fd, bytes);
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  return error;
}

}  // namespace

std::optional<Failure> writeFileReplacing(const std::string& path, std::string_view bytes) {
  // Find what is there now; a link is followed so that the file it points
  // to is replaced rather than the link itself.
  std::string target = path;
  struct stat info {};
  bool exists = false;
  if (::lstat(path.c_str(), &info) == 0) {
    exists = true;
    if (S_ISLNK(info.st_mode)) {
      const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
      if (!resolved) return failed(errno, path);
      target = resolved.get();
      if (::stat(target.c_str(), &info) != 0) return failed(errno, path);
    }
  } else if (errno != ENOENT) {
    return failed(errno, path);
  }
  if (exists && S_ISDIR(info.st_mode)) return failed(EISDIR, path);
  if (exists && !S_ISREG(info.st_mode)) return writeInPlace(target, path, bytes);

  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  if (name.empty()) return failed(ENOENT, path);

  // O_EXCL: never open a file or link that someone else put there.
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    temporary = temporaryName(folder, name);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) break;
  }
  if (fd < 0) return failed(errno, path);

  int error = fillTemporary(fd, bytes, exists ? &info : nullptr);
  if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    return failed(error, path);
  }
  return std::nullopt;
}

}  // namespace mailsift::platform
