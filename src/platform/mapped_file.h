// A read-only view of a whole file through the virtual memory system, for
// large files: no copy and no fresh memory to clear. If the file is cut
// short while it is mapped, the pages past its new end read as zero bytes
// instead of ending the process.
#pragma once

#include <cstddef>

#include "platform/native_handle.h"

namespace mailsift::platform {

class MappedFile {
 public:
  MappedFile() noexcept = default;
  ~MappedFile();
  MappedFile(MappedFile&& other) noexcept;
  MappedFile& operator=(MappedFile&& other) noexcept;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Maps the first `length` bytes (length > 0) of the open file `file`
  // read-only. Returns an empty MappedFile (data() == nullptr) when the
  // system refuses; the caller then reads the file instead. The file may be
  // closed afterwards.
  static MappedFile map(NativeHandle file, std::size_t length) noexcept;

  const char* data() const noexcept { return m_data; }
  std::size_t size() const noexcept { return m_length; }
  explicit operator bool() const noexcept { return m_data != nullptr; }

 private:
  void release() noexcept;

  const char* m_data = nullptr;
  std::size_t m_length = 0;
  int m_guardSlot = -1;  // the slot of this mapping in the fault guard, or -1
};

}  // namespace mailsift::platform
