// ByteBuffer on Windows: the heap for small blocks, VirtualAlloc for large
// ones, which come straight from the system and go back to it at once.
#include <windows.h>

#include <cstring>
#include <new>
#include <utility>

#include "platform/byte_buffer.h"

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
  void* block = ::VirtualAlloc(nullptr, capacity, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (block == nullptr) throw std::bad_alloc();
  m_data = static_cast<char*>(block);
  m_mapped = true;
}

void ByteBuffer::grow(std::size_t capacity, std::size_t used) {
  if (capacity <= m_capacity) return;
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
    ::VirtualFree(m_data, 0, MEM_RELEASE);
  } else {
    delete[] m_data;
  }
  m_data = nullptr;
  m_capacity = 0;
  m_mapped = false;
}

}  // namespace mailsift::platform
