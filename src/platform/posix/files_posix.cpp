// File-system operations on POSIX.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

namespace mailsift::platform {
namespace {

// Files from this size on are mapped rather than read: fresh memory for a
// copy costs more than the mapping, and the page cache is used as it is.
constexpr std::size_t kMapAtLeast = std::size_t{1} << 20;

FileContent failed(Failure failure) {
  FileContent content;
  content.failure = std::move(failure);
  return content;
}

Failure readFailure(int error, const std::string& path) {
  return failureFromSystemError(error, path, FailureKind::ReadFailed);
}

// Only regular files are read; folders get their own failure.
std::optional<Failure> checkRegular(const struct stat& info, const std::string& path) {
  if (S_ISDIR(info.st_mode)) return failureOf(FailureKind::IsFolder, path);
  if (!S_ISREG(info.st_mode)) return failureOf(FailureKind::NotRegularFile, path);
  return std::nullopt;
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

// Reads `expected` bytes from `fd` into `into`; returns the bytes read (fewer
// when the file shrank) or -1 with errno set.
std::ptrdiff_t readAll(int fd, char* into, std::size_t expected) {
  std::size_t done = 0;
  while (done < expected) {
    // Large reads in pieces: some systems cap one read at 2 GiB.
    const std::size_t want = std::min<std::size_t>(expected - done, std::size_t{1} << 30);
    const ssize_t got = ::read(fd, into + done, want);
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (got == 0) break;  // the file shrank while it was read
    done += static_cast<std::size_t>(got);
  }
  return static_cast<std::ptrdiff_t>(done);
}

int openForReading(const std::string& path) {
  // O_NONBLOCK: a FIFO swapped in after the check opens at once instead of
  // waiting for a writer; it is then refused by the fstat check.
  return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

}  // namespace

FileContent readWholeFile(const std::string& path) {
  // Look before opening: opening a FIFO blocks, and opening a device can
  // have side effects.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return failed(readFailure(errno, path));
  if (std::optional<Failure> refused = checkRegular(info, path)) return failed(std::move(*refused));

  const Descriptor file(openForReading(path));
  if (file.get() < 0) return failed(readFailure(errno, path));
  if (::fstat(file.get(), &info) != 0) return failed(readFailure(errno, path));
  if (std::optional<Failure> refused = checkRegular(info, path)) return failed(std::move(*refused));

  FileContent content;
  const auto expected = static_cast<std::size_t>(info.st_size);
  if (expected == 0) return content;
  if (expected >= kMapAtLeast) {
    content.mapping = MappedFile::map(file.get(), expected);
    if (content.mapping) {
      content.size = expected;
      return content;
    }
  }
  content.bytes = ByteBuffer(expected);
  const std::ptrdiff_t got = readAll(file.get(), content.bytes.data(), expected);
  if (got < 0) return failed(readFailure(errno, path));
  content.size = static_cast<std::size_t>(got);
  return content;
}

std::string environmentVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

bool createFolder(const std::string& path) { return ::mkdir(path.c_str(), 0777) == 0; }

}  // namespace mailsift::platform
