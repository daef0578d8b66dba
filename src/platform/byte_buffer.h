// An owning block of uninitialised bytes, sized for whole files. Large
// blocks come straight from the system (with huge pages where it offers
// them) so that reading a big file costs as little as possible.
#pragma once

#include <cstddef>

namespace mailsift::platform {

class ByteBuffer {
 public:
  ByteBuffer() noexcept = default;
  // Allocates `capacity` bytes, left uninitialised. Throws std::bad_alloc.
  explicit ByteBuffer(std::size_t capacity);
  ~ByteBuffer();
  ByteBuffer(ByteBuffer&& other) noexcept;
  ByteBuffer& operator=(ByteBuffer&& other) noexcept;
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;

  // Makes room for `capacity` bytes, keeping the first `used` ones. A large
  // block is moved by remapping its pages where the system can (Linux), so
  // growing it neither copies nor touches the bytes already there. Throws
  // std::bad_alloc; then the buffer is unchanged.
  void grow(std::size_t capacity, std::size_t used);

  char* data() noexcept { return m_data; }
  const char* data() const noexcept { return m_data; }
  std::size_t capacity() const noexcept { return m_capacity; }

 private:
  void release() noexcept;

  char* m_data = nullptr;
  std::size_t m_capacity = 0;
  bool m_mapped = false;
};

}  // namespace mailsift::platform
