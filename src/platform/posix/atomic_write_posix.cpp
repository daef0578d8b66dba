// Replacing a file through a temporary file and renameat(2) on POSIX.
//
// The path is walked one name at a time from open folder descriptors, so
// every link on the way is seen and judged before it is followed, and the
// folder found is the one written to, even if someone renames or replaces
// a folder on the path meanwhile.
#include "platform/atomic_write.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/temporary_files.h"

namespace mailsift::platform {
namespace {

constexpr int kNameAttempts = 100;
// Room for the suffix within the usual 255-byte limit of one name.
constexpr std::size_t kMaxNameStem = 200;
// Some systems cap one write at 2 GiB.
constexpr std::size_t kMaxChunk = std::size_t{1} << 30;
// The kernel's own limit on links in one path.
constexpr int kMaxLinks = 40;
// Walks of the path before giving up on a target that keeps changing kind.
constexpr int kMaxWalks = 3;

#ifdef O_PATH
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#else
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#endif

class Descriptor {
 public:
  Descriptor() noexcept = default;
  explicit Descriptor(int fd) noexcept : m_fd(fd) {}
  ~Descriptor() {
    if (m_fd >= 0) ::close(m_fd);
  }
  Descriptor(Descriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    std::swap(m_fd, other.m_fd);
    return *this;
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const noexcept { return m_fd; }
  bool isOpen() const noexcept { return m_fd >= 0; }
  // Closes now; returns 0 or the error number of close.
  int close() noexcept {
    const int fd = std::exchange(m_fd, -1);
    return fd >= 0 && ::close(fd) != 0 ? errno : 0;
  }

 private:
  int m_fd = -1;
};

// Where the bytes go: a name in an open folder, found with every link on
// the way followed.
struct Place {
  Descriptor folder;
  std::string name;
  bool exists = false;
  struct stat info {};
};

Failure failed(int error, const std::string& path) {
  return failureFromSystemError(error, path, FailureKind::WriteFailed);
}

// The rule the kernel applies in sticky folders (protected_symlinks), here
// applied in every folder: a link that someone else put in a folder they
// do not own may point anywhere, to a file of ours above all.
bool mayFollow(const struct stat& link, int folder) {
  if (link.st_uid == ::geteuid()) return true;
  struct stat folderInfo {};
  return ::fstat(folder, &folderInfo) == 0 && folderInfo.st_uid == link.st_uid;
}

Failure linkRefused(const std::string& path) {
  return Failure{FailureKind::AccessDenied, EACCES, path,
                 "not written through a link that another user made in a folder of someone else"};
}

// Pushes the names of `text` so that its first name is popped first.
void pushNames(std::vector<std::string>& pending, const std::string& text) {
  std::vector<std::string> names;
  for (std::size_t from = 0; from <= text.size();) {
    std::size_t slash = text.find('/', from);
    if (slash == std::string::npos) slash = text.size();
    if (slash > from && text.compare(from, slash - from, ".") != 0) names.push_back(text.substr(from, slash - from));
    from = slash + 1;
  }
  pending.insert(pending.end(), names.rbegin(), names.rend());
}

// The text of the link `name` in `folder`; returns 0 or the error number.
int readLink(int folder, const std::string& name, std::string& text) {
  text.assign(PATH_MAX, '\0');
  const ssize_t length = ::readlinkat(folder, name.c_str(), text.data(), text.size());
  if (length < 0) return errno;
  if (static_cast<std::size_t>(length) == text.size()) return ENAMETOOLONG;
  text.resize(static_cast<std::size_t>(length));
  return text.empty() ? ENOENT : 0;
}

Descriptor openRoot() { return Descriptor(::open("/", kFolderFlags)); }

// Finds the place `path` names. Fails for a folder (EISDIR), a link that
// another user planted, a link that points nowhere (ENOENT), and for any
// failure of the walk itself.
std::optional<Failure> findPlace(const std::string& path, Place& place) {
  if (path.empty()) return failed(ENOENT, path);
  Descriptor folder = path.front() == '/' ? openRoot() : Descriptor(::open(".", kFolderFlags));
  if (!folder.isOpen()) return failed(errno, path);
  std::vector<std::string> pending;
  pushNames(pending, path);
  bool endsInFolder = path.back() == '/';  // "a/b/" can only name a folder
  bool lastIsLinked = false;               // the last name came from a link
  int links = 0;
  while (!pending.empty()) {
    std::string name = std::move(pending.back());
    pending.pop_back();
    const bool last = pending.empty() && !endsInFolder;
    struct stat info {};
    if (::fstatat(folder.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT || !last || lastIsLinked) return failed(errno, path);
      place = Place{std::move(folder), std::move(name), false, {}};
      return std::nullopt;
    }
    if (S_ISLNK(info.st_mode)) {
      if (++links > kMaxLinks) return failed(ELOOP, path);
      if (!mayFollow(info, folder.get())) return linkRefused(path);
      std::string target;
      if (const int error = readLink(folder.get(), name, target); error != 0) return failed(error, path);
      if (pending.empty()) {
        lastIsLinked = true;
        endsInFolder = endsInFolder || target.back() == '/';
      }
      if (target.front() == '/' && !(folder = openRoot()).isOpen()) return failed(errno, path);
      pushNames(pending, target);
      continue;
    }
    if (last) {
      place = Place{std::move(folder), std::move(name), true, info};
      return std::nullopt;
    }
    // O_NOFOLLOW: a link put here since the check above is not followed.
    Descriptor next(::openat(folder.get(), name.c_str(), kFolderFlags));
    if (!next.isOpen()) return failed(errno, path);
    folder = std::move(next);
  }
  return failed(EISDIR, path);
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
// A FIFO is opened without waiting, as nobody may ever come to read it.
// `changed` is set when the name turned into a file or folder meanwhile.
std::optional<Failure> writeInPlace(const Place& place, const std::string& path, std::string_view bytes,
                                    bool& changed) {
  Descriptor fd(
      ::openat(place.folder.get(), place.name.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
  if (!fd.isOpen()) {
    if (errno == ENXIO && S_ISFIFO(place.info.st_mode)) {
      return Failure{FailureKind::WriteFailed, ENXIO, path, "no program reads from it"};
    }
    return failed(errno, path);
  }
  struct stat now {};
  if (::fstat(fd.get(), &now) != 0) return failed(errno, path);
  if (S_ISREG(now.st_mode) || S_ISDIR(now.st_mode)) {
    changed = true;
    return failed(EAGAIN, path);
  }
  const int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return failed(errno, path);
  const int error = writeAll(fd.get(), bytes);
  if (const int closeError = fd.close(); error == 0 && closeError != 0) return failed(closeError, path);
  if (error != 0) return failed(error, path);
  return std::nullopt;
}

// umask() cannot be read without being set, and setting it races with
// other threads creating files; Linux shows it in /proc.
mode_t currentUmask() {
  Descriptor status(::open("/proc/self/status", O_RDONLY | O_CLOEXEC));
  char text[4096] = {};
  std::size_t size = 0;
  while (status.isOpen() && size + 1 < sizeof text) {
    const ssize_t got = ::read(status.get(), text + size, sizeof text - 1 - size);
    if (got <= 0) break;
    size += static_cast<std::size_t>(got);
  }
  unsigned mask = 0;
  const char* line = std::strstr(text, "\nUmask:");
  if (line != nullptr && std::sscanf(line, "\nUmask: %o", &mask) == 1) return static_cast<mode_t>(mask & 0777);
  // Briefly the strictest mask, so a file created meanwhile is, if anything,
  // too private.
  const mode_t previous = ::umask(077);
  ::umask(previous);
  return previous;
}

// Sixteen hex digits nobody can guess, so nobody can plant anything under
// the name first.
std::string randomSuffix() {
  static std::atomic<std::uint64_t> counter{0};
  std::uint64_t value = 0;
  if (::getrandom(&value, sizeof value, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof value)) {
    value = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
            (static_cast<std::uint64_t>(::getpid()) << 40U) ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ULL);
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

// Gives the finished temporary file behind `fd` the owner, group and
// permissions of the file it replaces (or those of a new file), then makes
// it durable and closes it. Returns 0 or the error number.
int settle(Descriptor& fd, const struct stat* previous) {
  int error = 0;
  if (previous != nullptr && ::fchown(fd.get(), previous->st_uid, previous->st_gid) != 0) {
    (void)::fchown(fd.get(), static_cast<uid_t>(-1), previous->st_gid);  // the group alone, where allowed
  }
  const mode_t mode = previous != nullptr ? previous->st_mode & 0777 : 0666 & ~currentUmask();
  if (::fchmod(fd.get(), mode) != 0) error = errno;
  if (error == 0 && ::fsync(fd.get()) != 0) error = errno;
  if (const int closeError = fd.close(); error == 0) error = closeError;
  return error;
}

// The new content goes to a file only this process can read until it is
// complete, under a name nobody can guess, and then takes the target's
// place in one rename.
std::optional<Failure> replaceThroughTemporary(const Place& place, const std::string& path, std::string_view bytes) {
  const std::string stem = "." + place.name.substr(0, kMaxNameStem) + ".mailsift-";
  std::string temporary;
  Descriptor fd;
  TemporaryFileGuard guard;
  for (int attempt = 0; attempt < kNameAttempts && !fd.isOpen(); ++attempt) {
    temporary = stem + randomSuffix();
    // Registered before it exists, so that no moment passes with the file
    // there and not covered; an unguessable name is nobody else's file.
    guard = TemporaryFileGuard(place.folder.get(), temporary);
    // O_EXCL: never open a file or link that someone else put there.
    fd = Descriptor(::openat(place.folder.get(), temporary.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0600));
    if (!fd.isOpen() && errno != EEXIST) break;
  }
  if (!fd.isOpen()) return failed(errno, path);

  int error = writeAll(fd.get(), bytes);
  if (error == 0) error = settle(fd, place.exists ? &place.info : nullptr);
  if (error == 0 && ::renameat(place.folder.get(), temporary.c_str(), place.folder.get(), place.name.c_str()) != 0) {
    error = errno;
  }
  if (error != 0) {
    ::unlinkat(place.folder.get(), temporary.c_str(), 0);
    return failed(error, path);
  }
  return std::nullopt;
}

}  // namespace

std::optional<Failure> writeFileReplacing(const std::string& path, std::string_view bytes) {
  for (int walk = 1;; ++walk) {
    Place place;
    if (std::optional<Failure> failure = findPlace(path, place)) return failure;
    if (place.exists && S_ISDIR(place.info.st_mode)) return failed(EISDIR, path);
    if (!place.exists || S_ISREG(place.info.st_mode)) return replaceThroughTemporary(place, path, bytes);
    bool changed = false;
    std::optional<Failure> failure = writeInPlace(place, path, bytes, changed);
    if (!changed || walk == kMaxWalks) return failure;
  }
}

}  // namespace mailsift::platform
