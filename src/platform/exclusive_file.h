// Files that this process creates itself and nobody else can have put in
// place: created exclusively, never through a symbolic link, readable and
// writable by the owner only.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "platform/failure.h"

namespace mailsift::platform {

// An open, newly created file, written through a C stream. Owns the stream:
// the destructor closes it (without reporting errors, and without removing
// the file). Move-only. One object must not be used by several threads at
// once.
class ExclusiveFile {
 public:
  ExclusiveFile() noexcept = default;
  // Takes ownership of `stream`, which may be nullptr.
  explicit ExclusiveFile(std::FILE* stream) noexcept : m_stream(stream) {}
  ~ExclusiveFile();
  ExclusiveFile(ExclusiveFile&& other) noexcept;
  ExclusiveFile& operator=(ExclusiveFile&& other) noexcept;
  ExclusiveFile(const ExclusiveFile&) = delete;
  ExclusiveFile& operator=(const ExclusiveFile&) = delete;

  // The stream to write to, positioned at the start of the empty file;
  // nullptr when the object holds no file. Stays owned by this object.
  std::FILE* stream() const noexcept { return m_stream; }
  bool isOpen() const noexcept { return m_stream != nullptr; }

  // Flushes and closes the stream. Returns 0, or the system's error number
  // when flushing or closing failed (the data may then be incomplete).
  // Afterwards the object holds no file; closing one that holds none
  // returns 0.
  [[nodiscard]] int close() noexcept;

 private:
  void release() noexcept;

  std::FILE* m_stream = nullptr;
};

struct ExclusiveCreateResult {
  ExclusiveFile file;  // open only when ok()
  // Why the file was not created: Exists when something (file, folder,
  // link, even a dangling one) has the name; otherwise any other failure,
  // such as a missing folder (NotFound) or no permission (AccessDenied).
  std::optional<Failure> failure;

  bool ok() const noexcept { return !failure; }
};

// Creates the file `path` (used exactly as given) if and only if nothing
// exists under that name, in one step, so no other process can slip a file
// or a link in between a check and the creation. A symbolic link at `path`
// is never followed. The new file is empty and has mode 0600. Thread-safe.
// Here and below, a path that holds a NUL byte names no file: it fails
// (as WriteFailed, EINVAL) and no file is touched.
[[nodiscard]] ExclusiveCreateResult createExclusiveFile(const std::string& path);

// Removes the file (or link; never a folder) at `path`. Returns the failure
// for `path`, or std::nullopt. Thread-safe.
std::optional<Failure> removeFile(const std::string& path);

// Renames `from` to `to` in one step, replacing whatever file or link `to`
// names (a link is replaced, not followed). Both must be on the same file
// system. Returns the failure for `to`, or std::nullopt. Thread-safe.
[[nodiscard]] std::optional<Failure> replaceFile(const std::string& from, const std::string& to);

}  // namespace mailsift::platform
