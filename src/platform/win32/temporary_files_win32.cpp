// TemporaryFileGuard on Windows: not yet. No file is registered
// (isRegistered() says so), so a console interrupt may leave a temporary
// file behind; a console control handler is the way to remove them.
#include "platform/temporary_files.h"

#include <utility>

namespace mailsift::platform {

TemporaryFileGuard::TemporaryFileGuard(const std::string& /*path*/) noexcept {}

TemporaryFileGuard::TemporaryFileGuard(int /*folder*/, const std::string& /*name*/) noexcept {}

TemporaryFileGuard::~TemporaryFileGuard() { release(); }

TemporaryFileGuard::TemporaryFileGuard(TemporaryFileGuard&& other) noexcept : m_slot(std::exchange(other.m_slot, -1)) {}

TemporaryFileGuard& TemporaryFileGuard::operator=(TemporaryFileGuard&& other) noexcept {
  if (this != &other) {
    release();
    m_slot = std::exchange(other.m_slot, -1);
  }
  return *this;
}

void TemporaryFileGuard::release() noexcept { m_slot = -1; }

}  // namespace mailsift::platform
