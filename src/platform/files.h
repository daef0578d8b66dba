// File-system operations the core needs: reading a whole regular file,
// environment variables and creating a folder.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/byte_buffer.h"
#include "platform/failure.h"
#include "platform/mapped_file.h"

namespace mailsift::platform {

// A whole file's bytes: large files are mapped, small ones read into memory.
struct FileContent {
  MappedFile mapping;    // holds the bytes when the file was mapped
  ByteBuffer bytes;      // holds them otherwise
  std::size_t size = 0;  // data()[0, size) are the file's bytes
  // Set when the file could not be read: NotFound, AccessDenied, IsFolder,
  // NotRegularFile or ReadFailed, for the path as given.
  std::optional<Failure> failure;

  bool ok() const noexcept { return !failure; }
  const char* data() const noexcept { return mapping ? mapping.data() : bytes.data(); }
};

// Reads the whole regular file at `path` (used exactly as given). Never
// creates the file, never blocks on a FIFO or device, and reads files of any
// size that memory (or, for mapped files, the address space) holds. A file
// that shrinks while it is read or mapped gives its bytes up to the new end,
// followed by zero bytes in place of the rest when it was mapped; one that
// grows gives its size at opening. Throws std::bad_alloc
// when memory runs out; every other failure is in the result. Thread-safe.
[[nodiscard]] FileContent readWholeFile(const std::string& path);

// The value of the environment variable `name`, or "" when it is not set.
std::string environmentVariable(const char* name);

// Creates the folder `path` (one level). Returns false on any failure,
// including when it exists already.
bool createFolder(const std::string& path);

}  // namespace mailsift::platform
