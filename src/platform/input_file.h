// A file or stream read in pieces into the caller's buffer: a regular file
// (also at any offset, so several threads can share one), or standard input,
// whatever it is connected to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/failure.h"
#include "platform/file_identity.h"
#include "platform/folders.h"

namespace mailsift::platform {

// What one read gave: the bytes placed in the buffer (0 at the end of the
// input), or the failure.
struct ReadOutcome {
  std::size_t bytes = 0;
  std::optional<Failure> failure;
};

// An open input. Owns what it opened (standard input is borrowed and stays
// open). Move-only. One object serves one thread at a time, except readAt,
// which several threads may call at once on one regular file.
class InputFile {
 public:
  // How open() treats the path before opening it.
  enum class Check : unsigned char {
    LookFirst,     // look at the path first: a FIFO, socket or device is refused unopened
    TrustListing,  // a folder listing just called it a regular file: open at once
  };

  InputFile() noexcept = default;
  ~InputFile();
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opens the regular file at `path` (used exactly as given) read-only into
  // `into`. Never creates it and never blocks: a folder fails as IsFolder; a
  // FIFO, socket or device as NotRegularFile (with Check::LookFirst it is
  // never even opened). Returns the failure, or std::nullopt. Thread-safe.
  [[nodiscard]] static std::optional<Failure> open(const std::string& path, InputFile& into,
                                                   Check check = Check::LookFirst);

  // As open(), for the file named by the end of `path` from `nameStart` on
  // (one name, no "/") in `folder`, so that it opens whatever the length of
  // `path`, the file's full path, which is name() and is never used to open
  // anything. A link is followed; with Check::LookFirst a name that was no
  // link at the look is not followed later. Thread-safe.
  [[nodiscard]] static std::optional<Failure> openIn(const FolderHandle& folder, const std::string& path,
                                                     std::size_t nameStart, InputFile& into,
                                                     Check check = Check::LookFirst);

  // The process's standard input, named "standard input" in failures.
  [[nodiscard]] static InputFile standardInput();

  bool isOpen() const noexcept { return m_handle >= 0; }
  // True for a regular file: size() is known and readAt works.
  bool isRegular() const noexcept { return m_regular; }
  // The size when it was opened; 0 unless isRegular().
  std::uint64_t size() const noexcept { return m_size; }
  const std::string& name() const noexcept { return m_name; }
  // Which file it is, so that a file met under two names can be read once.
  const FileIdentity& identity() const noexcept { return m_identity; }

  // Reads up to `capacity` bytes from the current position into `buffer`,
  // waiting for a pipe or terminal to deliver. Returns fewer bytes than asked
  // only at the end or when the source delivers in smaller pieces; 0 at the
  // end.
  [[nodiscard]] ReadOutcome read(char* buffer, std::size_t capacity);

  // Reads up to `capacity` bytes at `offset` of a regular file, without
  // moving the current position; 0 at or past the end.
  [[nodiscard]] ReadOutcome readAt(std::uint64_t offset, char* buffer, std::size_t capacity) const;

 private:
  void release() noexcept;
  // Takes over `fd`, just opened for `path`: a regular file is kept, anything
  // else closed and refused.
  [[nodiscard]] static std::optional<Failure> adopt(NativeHandle fd, const std::string& path, InputFile& into);

  NativeHandle m_handle = kNoHandle;  // the system's handle of the open input
  bool m_owned = false;               // closed by the destructor
  bool m_regular = false;
  std::uint64_t m_size = 0;
#ifdef _WIN32
  // Where read() goes on in a regular file: positioned reads move the
  // file's own position here.
  std::uint64_t m_position = 0;
#endif
  FileIdentity m_identity;
  std::string m_name;  // the path as given, for failures
};

}  // namespace mailsift::platform
