// Reading inputs in pieces on POSIX.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/input_file.h"

namespace mailsift::platform {
namespace {

// One read asks for at most this much: some systems cap a read at 2 GiB.
constexpr std::size_t kLargestRead = std::size_t{1} << 30;

int descriptorOf(std::intptr_t handle) noexcept { return static_cast<int>(handle); }

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
      m_name(std::move(other.m_name)) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    release();
    m_handle = std::exchange(other.m_handle, -1);
    m_owned = std::exchange(other.m_owned, false);
    m_regular = other.m_regular;
    m_size = other.m_size;
    m_name = std::move(other.m_name);
  }
  return *this;
}

void InputFile::release() noexcept {
  if (m_owned && m_handle >= 0) ::close(descriptorOf(m_handle));
  m_handle = -1;
  m_owned = false;
}

std::optional<Failure> InputFile::open(const std::string& path, InputFile& into, Check check) {
  into = InputFile();
  struct stat info {};
  // Look before opening: opening a device can have side effects.
  if (check == Check::LookFirst) {
    if (::stat(path.c_str(), &info) != 0) return failureFromSystemError(errno, path, FailureKind::ReadFailed);
    if (std::optional<Failure> failure = checkRegular(info, path)) return failure;
  }
  // O_NONBLOCK: a FIFO swapped in after the look opens at once instead of
  // waiting for a writer; the fstat below then refuses it.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return failureFromSystemError(errno, path, FailureKind::ReadFailed);
  into.m_handle = fd;
  into.m_owned = true;
  into.m_name = path;
  if (::fstat(fd, &info) != 0) {
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
  return std::nullopt;
}

InputFile InputFile::standardInput() {
  InputFile input;
  input.m_handle = STDIN_FILENO;
  input.m_name = "standard input";
  struct stat info {};
  if (::fstat(STDIN_FILENO, &info) == 0 && S_ISREG(info.st_mode)) {
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
