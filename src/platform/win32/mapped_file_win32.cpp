// MappedFile on Windows: not mapped yet. map() always refuses, so every
// file is read into memory instead, which readWholeFile does anyway when a
// mapping is refused.
#include "platform/mapped_file.h"

#include <utility>

namespace mailsift::platform {

MappedFile::~MappedFile() { release(); }

MappedFile::MappedFile(MappedFile&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)),
      m_length(std::exchange(other.m_length, 0)),
      m_guardSlot(std::exchange(other.m_guardSlot, -1)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    release();
    m_data = std::exchange(other.m_data, nullptr);
    m_length = std::exchange(other.m_length, 0);
    m_guardSlot = std::exchange(other.m_guardSlot, -1);
  }
  return *this;
}

MappedFile MappedFile::map(NativeHandle /*file*/, std::size_t /*length*/) noexcept { return MappedFile(); }

void MappedFile::release() noexcept {
  m_data = nullptr;
  m_length = 0;
  m_guardSlot = -1;
}

}  // namespace mailsift::platform
