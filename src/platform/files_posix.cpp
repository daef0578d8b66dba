// File-system operations on POSIX.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace mailsift::platform {
namespace {

ReadFailure failureOf(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return ReadFailure::NotFound;
    case EACCES:
    case EPERM:
      return ReadFailure::AccessDenied;
    case EISDIR:
      return ReadFailure::IsFolder;
    default:
      return ReadFailure::ReadFailed;
  }
}

FileContent failed(ReadFailure failure, int error) {
  FileContent content;
  content.failure = failure;
  content.systemError = error;
  return content;
}

FileContent failed(int error) { return failed(failureOf(error), error); }

// Only regular files are read; folders get their own failure.
ReadFailure checkRegular(const struct stat& info) {
  if (S_ISDIR(info.st_mode)) return ReadFailure::IsFolder;
  if (!S_ISREG(info.st_mode)) return ReadFailure::NotRegularFile;
  return ReadFailure::None;
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : m_fd(fd) {}
  ~Descriptor() {
    if (m_fd >= 0) ::close(m_fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return m_fd; }

 private:
  int m_fd;
};

}  // namespace

FileContent readWholeFile(const std::string& path) {
  // Look before opening: opening a FIFO blocks, and opening a device can
  // have side effects. O_NONBLOCK and the second check below cover a path
  // that is swapped for one between the two steps.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return failed(errno);
  if (const ReadFailure kind = checkRegular(info); kind != ReadFailure::None) return failed(kind, 0);

  const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (file.get() < 0) return failed(errno);
  if (::fstat(file.get(), &info) != 0) return failed(errno);
  if (const ReadFailure kind = checkRegular(info); kind != ReadFailure::None) return failed(kind, 0);

  FileContent content;
  const auto expected = static_cast<std::size_t>(info.st_size);
  if (expected == 0) return content;
#ifdef POSIX_FADV_SEQUENTIAL
  ::posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  content.bytes = ByteBuffer(expected);
  while (content.size < expected) {
    // Large reads in pieces: some systems cap one read at 2 GiB.
    const std::size_t want = std::min<std::size_t>(expected - content.size, std::size_t{1} << 30);
    const ssize_t got = ::read(file.get(), content.bytes.data() + content.size, want);
    if (got < 0) {
      if (errno == EINTR) continue;
      return failed(errno);
    }
    if (got == 0) break;  // the file shrank while it was read
    content.size += static_cast<std::size_t>(got);
  }
  return content;
}

std::string describeSystemError(int systemError) {
  return std::error_code(systemError, std::generic_category()).message();
}

std::string environmentVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

bool createFolder(const std::string& path) { return ::mkdir(path.c_str(), 0777) == 0; }

}  // namespace mailsift::platform
