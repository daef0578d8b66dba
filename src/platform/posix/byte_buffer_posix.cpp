// ByteBuffer on POSIX: the heap for small blocks, an anonymous mapping for
// large ones.
#include "platform/byte_buffer.h"

#include <sys/mman.h>

#include <cstring>
#include <new>
#include <utility>

namespace mailsift::platform {
namespace {
constexpr std::size_t kMapThreshold = std::size_t{4} << 20;
}

ByteBuffer::ByteBuffer(std::size_t capacity) : m_capacity(capacity) {
  if (capacity == 0) return;
  if (capacity < kMapThreshold) {
    m_data = new char[capacity];
    return;
  }
  void* block = ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
  ::madvise(block, capacity, MADV_HUGEPAGE);  // fewer page faults; a refusal is harmless
#endif
  m_data = static_cast<char*>(block);
  m_mapped = true;
}

void ByteBuffer::grow(std::size_t capacity, std::size_t used) {
  if (capacity <= m_capacity) return;
#ifdef MREMAP_MAYMOVE
  if (m_mapped) {
    void* block = ::mremap(m_data, m_capacity, capacity, MREMAP_MAYMOVE);
    if (block == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    ::madvise(block, capacity, MADV_HUGEPAGE);
#endif
    m_data = static_cast<char*>(block);
    m_capacity = capacity;
    return;
  }
#endif
  ByteBuffer larger(capacity);
  if (used != 0) std::memcpy(larger.m_data, m_data, used);
  *this = std::move(larger);
}

ByteBuffer::~ByteBuffer() { release(); }

ByteBuffer::ByteBuffer(ByteBuffer&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)),
      m_capacity(std::exchange(other.m_capacity, 0)),
      m_mapped(std::exchange(other.m_mapped, false)) {}

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept {
  if (this != &other) {
    release();
    m_data = std::exchange(other.m_data, nullptr);
    m_capacity = std::exchange(other.m_capacity, 0);
    m_mapped = std::exchange(other.m_mapped, false);
  }
  return *this;
}

void ByteBuffer::release() noexcept {
  if (m_mapped) {
    ::munmap(m_data, m_capacity);
  } else {
    delete[] m_data;
  }
  m_data = nullptr;
  m_capacity = 0;
  m_mapped = false;
}

}  // namespace mailsift::platform
