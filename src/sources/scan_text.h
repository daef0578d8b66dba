// Reading one file whole into the text that is scanned.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/failure.h"
#include "platform/files.h"

namespace mailsift {

// The content of one file, one character per byte, owned by whoever scans
// it. Nothing is translated: line ends, NUL bytes and byte 26 stay as they
// are. Move-only; the empty text by default.
class ScanText {
 public:
  ScanText() = default;
  explicit ScanText(std::string text);
  explicit ScanText(platform::FileContent content) noexcept;

  std::string_view view() const noexcept;
  std::size_t size() const noexcept { return m_size; }
  bool empty() const noexcept { return m_size == 0; }

 private:
  platform::FileContent m_content;
  std::string m_text;
  std::size_t m_size = 0;
  bool m_fromFile = false;
};

struct ReadResult {
  ScanText text;  // empty unless ok()
  // Why the file could not be read: NotFound, AccessDenied, IsFolder,
  // NotRegularFile (a FIFO, socket or device) or ReadFailed, for the path.
  std::optional<platform::Failure> failure;

  bool ok() const noexcept { return !failure; }
};

// Reads the whole file at `path`, used exactly as given (not trimmed). Opens
// it read-only and never creates it. Files of any size are read; FIFOs,
// sockets and devices fail at once without being opened for reading.
// Thread-safe. Throws std::bad_alloc when the file does not fit in memory.
[[nodiscard]] ReadResult readScanText(const std::string& path);

}  // namespace mailsift
