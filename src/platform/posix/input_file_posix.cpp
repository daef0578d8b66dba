// Reading inputs in pieces on POSIX.
#include "platform/input_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace mailsift::platform {
namespace {

// One read asks for at most this much: some systems cap a read at 2 GiB.
constexpr std::size_t kLargestRead = std::size_t{1} << 30;

// O_NONBLOCK: a FIFO swapped in after the look opens at once instead of
// waiting for a writer; the fstat of the descriptor then refuses it.
constexpr int kReadFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

int descriptorOf(NativeHandle handle) noexcept { return static_cast<int>(handle); }

FileIdentity identityOf(const struct stat& info) noexcept {
  return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

std::optional<Failure> checkRegular(const struct stat& info, const std::string& path) {
  if (S_ISDIR(info.st_mode)) return failureOf(FailureKind::IsFolder, path);
  if (!S_ISREG(info.st_mode)) return failureOf(FailureKind::NotRegularFile, path);
  return std::nullopt;
}

// Waits until a descriptor that was set non-blocking by someone else has
// data or its end to deliver.
bool waitForInput(int fd) noexcept {
  pollfd wanted{fd, POLLIN, 0};
  for (;;) {
    if (::poll(&wanted, 1, -1) >= 0) return true;
    if (errno != EINTR) return false;
  }
}

}  // namespace

InputFile::~InputFile() { release(); }

InputFile::InputFile(InputFile&& other) noexcept
    : m_handle(std::exchange(other.m_handle, -1)),
      m_owned(std::exchange(other.m_owned, false)),
      m_regular(other.m_regular),
      m_size(other.m_size),
      m_identity(other.m_identity),
      m_name(std::move(other.m_name)) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    release();
    m_handle = std::exchange(other.m_handle, -1);
    m_owned = std::exchange(other.m_owned, false);
    m_regular = other.m_regular;
    m_size = other.m_size;
    m_identity = other.m_identity;
    m_name = std::move(other.m_name);
  }
  return *this;
}

void InputFile::release() noexcept {
  if (m_owned && m_handle >= 0) ::close(descriptorOf(m_handle));
  m_handle = -1;
  m_owned = false;
}

std::optional<Failure> InputFile::adopt(NativeHandle fd, const std::string& path, InputFile& into) {
  if (fd < 0) return failureFromSystemError(errno, path, FailureKind::ReadFailed);
  into.m_handle = fd;
  into.m_owned = true;
  into.m_name = path;
  struct stat info {};
  if (::fstat(descriptorOf(fd), &info) != 0) {
    const int error = errno;
    into = InputFile();
    return failureFromSystemError(error, path, FailureKind::ReadFailed);
  }
  if (std::optional<Failure> failure = checkRegular(info, path)) {
    into = InputFile();
    return failure;
  }
  into.m_regular = true;
  into.m_size = static_cast<std::uint64_t>(info.st_size);
  into.m_identity = identityOf(info);
  return std::nullopt;
}

std::optional<Failure> InputFile::open(const std::string& path, InputFile& into, Check check) {
  into = InputFile();
  // Look before opening: opening a device can have side effects.
  if (check == Check::LookFirst) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return failureFromSystemError(errno, path, FailureKind::ReadFailed);
    if (std::optional<Failure> failure = checkRegular(info, path)) return failure;
  }
  return adopt(::open(path.c_str(), kReadFlags), path, into);
}

std::optional<Failure> InputFile::openIn(const FolderHandle& folder, const std::string& path, std::size_t nameStart,
                                         InputFile& into, Check check) {
  into = InputFile();
  const int at = descriptorOf(folder.m_handle);
  const char* name = path.c_str() + nameStart;
  int flags = kReadFlags;
  if (check == Check::LookFirst) {
    // Look before opening, at the name itself and then, for a link, at what
    // it leads to: opening a device can have side effects.
    struct stat info {};
    if (::fstatat(at, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
      return failureFromSystemError(errno, path, FailureKind::ReadFailed);
    }
    if (S_ISLNK(info.st_mode)) {
      if (::fstatat(at, name, &info, 0) != 0) return failureFromSystemError(errno, path, FailureKind::ReadFailed);
    } else {
      flags |= O_NOFOLLOW;  // a link swapped in after the look is refused
    }
    if (std::optional<Failure> failure = checkRegular(info, path)) return failure;
  }
  return adopt(::openat(at, name, flags), path, into);
}

InputFile InputFile::standardInput() {
  InputFile input;
  input.m_handle = STDIN_FILENO;
  input.m_name = "standard input";
  struct stat info {};
  if (::fstat(STDIN_FILENO, &info) != 0) return input;
  input.m_identity = identityOf(info);
  if (S_ISREG(info.st_mode)) {
    // A whole file given with "<" can be read at any offset, like a named
    // one; one that somebody has read from already is read on as a stream.
    if (::lseek(STDIN_FILENO, 0, SEEK_CUR) == 0) {
      input.m_regular = true;
      input.m_size = static_cast<std::uint64_t>(info.st_size);
    }
  }
  return input;
}

ReadOutcome InputFile::read(char* buffer, std::size_t capacity) {
  const int fd = descriptorOf(m_handle);
  for (;;) {
    const ssize_t got = ::read(fd, buffer, std::min(capacity, kLargestRead));
    if (got >= 0) return {static_cast<std::size_t>(got), std::nullopt};
    if (errno == EINTR) continue;
    if ((errno == EAGAIN || errno == EWOULDBLOCK) && waitForInput(fd)) continue;
    return {0, failureFromSystemError(errno, m_name, FailureKind::ReadFailed)};
  }
}

ReadOutcome InputFile::readAt(std::uint64_t offset, char* buffer, std::size_t capacity) const {
  const int fd = descriptorOf(m_handle);
  for (;;) {
    const ssize_t got = ::pread(fd, buffer, std::min(capacity, kLargestRead), static_cast<off_t>(offset));
    if (got >= 0) return {static_cast<std::size_t>(got), std::nullopt};
    if (errno == EINTR) continue;
    return {0, failureFromSystemError(errno, m_name, FailureKind::ReadFailed)};
  }
}

}  // namespace mailsift::platform
