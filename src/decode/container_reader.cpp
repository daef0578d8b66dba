// Reading containers with libarchive. Every libarchive call of the program
// is in this file, so that the library can later be loaded only when a
// container is first met (it adds milliseconds to every start).
//
// libarchive pulls the container through a read callback that fills a buffer
// of ours from the source reader, and the member reader hands out
// archive_read_data into the caller's buffer: nothing holds a whole member.
// A compressed stream is opened with the raw format alone; when its first
// 512 decompressed bytes are a tar header, a second reading takes the tar
// from the decompressed stream. (libarchive's own tar bidder also takes a
// stream that starts with zeros for an empty tar, and its content would be
// lost.) gzip is decompressed by zlib instead (detail/gzip_reader.h), which
// checks what libarchive does not.
#include "decode/container_reader.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>
#include <utility>

#include "decode/detail/feed_buffer.h"
#include "decode/detail/gzip_reader.h"

namespace mailsift {
namespace {

using platform::Failure;
using platform::FailureKind;

// libarchive's own error numbers, which its public header leaves out.
constexpr int kMiscError = -1;
#ifdef EFTYPE
constexpr int kFormatError = EFTYPE;
#else
constexpr int kFormatError = EILSEQ;
#endif

using detail::FeedBuffer;
using detail::kFeedSize;

constexpr std::size_t kTarBlock = 512;
// ARCHIVE_RETRY from a header read means "try again"; a damaged archive
// must not make that endless.
constexpr int kHeaderRetries = 16;

struct ArchiveFree {
  void operator()(archive* handle) const noexcept { archive_read_free(handle); }
};

// One reading of one container: the archive handle, the buffer the source
// is read into, and what went wrong so far.
class Session {
 public:
  Session(ByteReader& source, const std::string& name) : m_source(source), m_name(name) {}

  std::optional<Failure> open(ContainerKind kind);
  archive* handle() const noexcept { return m_archive.get(); }

  // libarchive's last error as a failure of the container; `member` is
  // named first when one was being read. A failure of the source itself
  // wins, as it says what really happened.
  Failure failure(std::string_view member) const;
  // A throw from the source, caught inside libarchive's callback, thrown on
  // out here.
  void rethrowIfThrown() const {
    if (m_thrown) std::rethrow_exception(m_thrown);
  }
  // Keeps the first failure of a member read, to be returned at the end.
  void noteProblem(const Failure& failure) {
    if (!m_problem) m_problem = failure;
  }
  void noteEncrypted(std::string_view member);
  void noteHandedOver() noexcept { m_lastEncrypted = false; }
  // What readContainer returns when the archive ended or the caller stopped.
  std::optional<Failure> result() const;
  // What it returns when the archive cannot be read on: the first failure
  // of a member, or why it cannot go on.
  Failure endFailure() const;

 private:
  static la_ssize_t feed(archive* handle, void* data, const void** block);

  ByteReader& m_source;
  const std::string& m_name;
  FeedBuffer m_buffer;
  std::unique_ptr<archive, ArchiveFree> m_archive;
  std::optional<Failure> m_sourceFailure;
  std::exception_ptr m_thrown;
  std::optional<Failure> m_problem;
  std::string m_firstEncrypted;
  std::size_t m_encrypted = 0;
  bool m_lastEncrypted = false;
};

la_ssize_t Session::feed(archive* handle, void* data, const void** block) {
  auto& session = *static_cast<Session*>(data);
  if (session.m_sourceFailure || session.m_thrown) return ARCHIVE_FATAL;
  try {
    ReadOutcome got = session.m_source.read(session.m_buffer.get(), kFeedSize);
    if (got.failure) {
      session.m_sourceFailure = std::move(got.failure);
      archive_set_error(handle, kMiscError, "%s", session.m_sourceFailure->message.c_str());
      return ARCHIVE_FATAL;
    }
    *block = session.m_buffer.get();
    return static_cast<la_ssize_t>(got.bytes);
  } catch (...) {
    // Never let an exception run through libarchive's C frames.
    session.m_thrown = std::current_exception();
    archive_set_error(handle, kMiscError, "interrupted");
    return ARCHIVE_FATAL;
  }
}

// Enables what `kind` needs and nothing else. A filter that libarchive can
// only offer through an outside program (ARCHIVE_WARN) is refused: reading
// must never start a process.
int enableKind(archive* handle, ContainerKind kind) {
  int filter = ARCHIVE_OK;
  switch (kind) {
    case ContainerKind::Zip:
      return archive_read_support_format_zip_streamable(handle);
    case ContainerKind::Tar:
      return archive_read_support_format_tar(handle);
    case ContainerKind::Gzip:  // gzip goes to zlib (readGzip), never here
      return ARCHIVE_FATAL;
    case ContainerKind::Bzip2:
      filter = archive_read_support_filter_bzip2(handle);
      break;
    case ContainerKind::Xz:
      filter = archive_read_support_filter_xz(handle);
      break;
    case ContainerKind::Zstd:
      filter = archive_read_support_filter_zstd(handle);
      break;
  }
  return filter != ARCHIVE_OK ? filter : archive_read_support_format_raw(handle);
}

std::optional<Failure> Session::open(ContainerKind kind) {
  m_archive.reset(archive_read_new());
  if (!m_archive) throw std::bad_alloc();
  if (enableKind(handle(), kind) != ARCHIVE_OK) {
    return Failure{FailureKind::ReadFailed, 0, m_name,
                   std::string("cannot read ") + std::string(containerKindName(kind)) + " in this build"};
  }
  const int opened = archive_read_open(handle(), this, nullptr, &Session::feed, nullptr);
  rethrowIfThrown();
  if (opened != ARCHIVE_OK) return failure({});
  // Without its filter's magic a compressed kind would come out as its
  // compressed bytes, read raw.
  const bool compressed = kind != ContainerKind::Zip && kind != ContainerKind::Tar;
  if (compressed && archive_filter_count(handle()) < 2) {
    return Failure{FailureKind::Damaged, 0, m_name, "not " + std::string(containerKindName(kind)) + " data"};
  }
  return std::nullopt;
}

Failure Session::failure(std::string_view member) const {
  if (m_sourceFailure) return *m_sourceFailure;
  const char* text = archive_error_string(m_archive.get());
  std::string message = member.empty() ? std::string() : std::string(member) + ": ";
  message += text != nullptr ? text : "damaged or unreadable";
  return Failure{FailureKind::Damaged, 0, m_name, std::move(message)};
}

void Session::noteEncrypted(std::string_view member) {
  if (m_encrypted++ == 0) m_firstEncrypted = member;
  m_lastEncrypted = true;
}

std::optional<Failure> Session::result() const {
  if (m_problem) return m_problem;
  if (m_encrypted == 0) return std::nullopt;
  std::string message = m_encrypted == 1 ? "1 encrypted member passed over: "
                                         : std::to_string(m_encrypted) + " encrypted members passed over, the first: ";
  message += m_firstEncrypted;
  return Failure{FailureKind::Encrypted, 0, m_name, std::move(message)};
}

Failure Session::endFailure() const {
  if (m_sourceFailure) return *m_sourceFailure;
  if (m_problem) return *m_problem;
  // An encrypted member whose size only a data descriptor after it gives
  // cannot be skipped without its password: the encryption is the reason.
  if (m_lastEncrypted) {
    Failure failure = *result();
    failure.message += "; the members after it cannot be reached without the password";
    return failure;
  }
  return failure({});
}

// The bytes of the member the archive is at. After the end or a failure it
// gives the same answer again.
class MemberReader final : public ByteReader {
 public:
  MemberReader(Session& session, std::string_view member) : m_session(session), m_member(member) {}

  [[nodiscard]] ReadOutcome read(char* buffer, std::size_t capacity) override {
    if (m_done) return {0, m_failure};
    const la_ssize_t got = archive_read_data(m_session.handle(), buffer, capacity);
    m_session.rethrowIfThrown();
    if (got > 0) return {static_cast<std::size_t>(got), std::nullopt};
    m_done = true;
    if (got < 0) {
      // ARCHIVE_WARN too: libarchive says so for a wrong checksum, when
      // the bytes handed out were not what was stored.
      m_failure = m_session.failure(m_member);
      m_session.noteProblem(*m_failure);
    }
    return {0, m_failure};
  }

 private:
  Session& m_session;
  std::string_view m_member;
  bool m_done = false;
  std::optional<Failure> m_failure;
};

// Only regular files have bytes of their own. A hard link in a tar names an
// earlier member and, unless it carries data itself, has none.
bool isReadableMember(archive_entry* entry) {
  if (archive_entry_filetype(entry) != AE_IFREG) return false;
  return archive_entry_hardlink(entry) == nullptr || archive_entry_size(entry) > 0;
}

ContainerMember describeMember(archive_entry* entry) {
  ContainerMember member;
  const char* path = archive_entry_pathname(entry);
  if (path == nullptr) path = archive_entry_pathname_utf8(entry);
  if (path != nullptr) member.name = path;
  if (archive_entry_size_is_set(entry) != 0 && archive_entry_size(entry) > 0) {
    member.size = static_cast<std::uint64_t>(archive_entry_size(entry));
  }
  return member;
}

// The next member's header: ARCHIVE_OK (warnings included), ARCHIVE_EOF, or
// ARCHIVE_FATAL for anything that ends the reading.
int nextHeader(const Session& session, archive_entry*& entry) {
  for (int attempt = 0; attempt < kHeaderRetries; ++attempt) {
    const int status = archive_read_next_header(session.handle(), &entry);
    session.rethrowIfThrown();
    if (status == ARCHIVE_OK || status == ARCHIVE_WARN) return ARCHIVE_OK;
    if (status != ARCHIVE_RETRY) return status == ARCHIVE_EOF ? ARCHIVE_EOF : ARCHIVE_FATAL;
  }
  return ARCHIVE_FATAL;
}

// A compressed stream that holds nothing: the raw format cannot bid on zero
// bytes, which libarchive reports as an unrecognised format.
bool isEmptyStream(const Session& session) { return archive_errno(session.handle()) == kFormatError; }

using MemberCallback = std::function<MemberReply(const ContainerMember&, ByteReader&)>;

// Zip or tar from `source`: every regular member in turn.
std::optional<Failure> readArchive(ByteReader& source, ContainerKind kind, const std::string& name,
                                   const MemberCallback& onMember) {
  Session session(source, name);
  if (std::optional<Failure> failure = session.open(kind)) return failure;
  for (;;) {
    archive_entry* entry = nullptr;
    const int status = nextHeader(session, entry);
    if (status == ARCHIVE_EOF) break;
    if (status != ARCHIVE_OK) return session.endFailure();
    if (!isReadableMember(entry)) continue;
    const ContainerMember member = describeMember(entry);
    if (archive_entry_is_encrypted(entry) != 0) {
      session.noteEncrypted(member.name);
      continue;
    }
    session.noteHandedOver();
    MemberReader reader(session, member.name);
    if (onMember(member, reader) == MemberReply::Stop) break;
  }
  return session.result();
}

// Bytes read before a failure, then that failure.
class BytesThenFailure final : public ByteReader {
 public:
  BytesThenFailure(std::string_view bytes, Failure failure) : m_bytes(bytes), m_failure(std::move(failure)) {}
  [[nodiscard]] ReadOutcome read(char* buffer, std::size_t capacity) override {
    if (m_bytes.empty()) return {0, m_failure};
    const std::size_t size = std::min(capacity, m_bytes.size());
    std::memcpy(buffer, m_bytes.data(), size);
    m_bytes.remove_prefix(size);
    return {size, std::nullopt};
  }

 private:
  std::string_view m_bytes;
  Failure m_failure;
};

// Up to `size` bytes from the start of `reader` into `into`, those before a
// failure too; the failure of a read, or std::nullopt.
std::optional<Failure> readHead(ByteReader& reader, std::size_t size, std::string& into) {
  into.assign(size, '\0');
  std::size_t filled = 0;
  while (filled < size) {
    ReadOutcome got = reader.read(into.data() + filled, size - filled);
    if (got.failure) {
      into.resize(filled);
      return std::move(got.failure);
    }
    if (got.bytes == 0) break;
    filled += got.bytes;
  }
  into.resize(filled);
  return std::nullopt;
}

// A decompressed stream: the members of the tar it holds, or itself as the
// one member.
std::optional<Failure> readStream(ByteReader& stream, const std::string& name, const MemberCallback& onMember) {
  std::string head;
  if (std::optional<Failure> failure = readHead(stream, kTarBlock, head)) {
    // A short stream whose check fails at its end still gives its bytes.
    if (!head.empty()) {
      BytesThenFailure before(head, *failure);
      (void)onMember(ContainerMember{}, before);
    }
    return failure;
  }
  PrefixedReader whole(head, stream);
  if (recogniseContainer(head) == ContainerKind::Tar) return readArchive(whole, ContainerKind::Tar, name, onMember);
  (void)onMember(ContainerMember{}, whole);
  return std::nullopt;
}

// bzip2, xz or zstd, decompressed by libarchive.
std::optional<Failure> readCompressed(ByteReader& source, ContainerKind kind, const std::string& name,
                                      const MemberCallback& onMember) {
  Session session(source, name);
  if (std::optional<Failure> failure = session.open(kind)) {
    if (!isEmptyStream(session)) return failure;
    MemoryReader nothing({});
    (void)onMember(ContainerMember{}, nothing);
    return std::nullopt;
  }
  archive_entry* entry = nullptr;
  if (nextHeader(session, entry) != ARCHIVE_OK) return session.endFailure();
  MemberReader stream(session, {});
  std::optional<Failure> failure = readStream(stream, name, onMember);
  return failure ? failure : session.result();
}

// gzip, decompressed by zlib.
std::optional<Failure> readGzip(ByteReader& source, const std::string& name, const MemberCallback& onMember) {
  detail::GzipReader stream(source, name);
  std::optional<Failure> failure = readStream(stream, name, onMember);
  return failure ? failure : stream.failure();
}

}  // namespace

std::optional<Failure> readContainer(ByteReader& source, ContainerKind kind, const std::string& name,
                                     const MemberCallback& onMember) {
  switch (kind) {
    case ContainerKind::Zip:
    case ContainerKind::Tar:
      return readArchive(source, kind, name, onMember);
    case ContainerKind::Gzip:
      return readGzip(source, name, onMember);
    case ContainerKind::Bzip2:
    case ContainerKind::Xz:
    case ContainerKind::Zstd:
      return readCompressed(source, kind, name, onMember);
  }
  return std::nullopt;
}

}  // namespace mailsift
