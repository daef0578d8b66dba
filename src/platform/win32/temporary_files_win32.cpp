// TemporaryFileGuard on Windows: a console control handler removes the
// registered files when Ctrl+C, Ctrl+Break, closing the console, logging off
// or shutting down ends the process, then lets the system end it as usual.
// The handler runs on a thread of its own, so a mutex is enough.
#include <windows.h>

#include <array>
#include <mutex>
#include <utility>

#include "platform/temporary_files.h"
#include "platform/win32/win32_text.h"

namespace mailsift::platform {
namespace {

constexpr std::size_t kSlots = 64;

struct Registry {
  std::mutex mutex;
  std::array<std::wstring, kSlots> paths;  // "" for a free slot
  bool handlerInstalled = false;
};

Registry& registry() {
  static Registry* const shared = new Registry();  // never destroyed: the handler may run during exit
  return *shared;
}

BOOL WINAPI removeRegisteredFiles(DWORD /*event*/) {
  Registry& files = registry();
  const std::lock_guard lock(files.mutex);
  for (std::wstring& path : files.paths) {
    if (!path.empty()) ::DeleteFileW(path.c_str());
    path.clear();
  }
  return FALSE;  // the next handler, in the end the system's, ends the process
}

int registerPath(std::wstring path) noexcept {
  if (path.empty()) return -1;
  try {
    Registry& files = registry();
    const std::lock_guard lock(files.mutex);
    if (!files.handlerInstalled) files.handlerInstalled = ::SetConsoleCtrlHandler(removeRegisteredFiles, TRUE) != 0;
    if (!files.handlerInstalled) return -1;
    for (std::size_t slot = 0; slot < kSlots; ++slot) {
      if (files.paths[slot].empty()) {
        files.paths[slot] = std::move(path);
        return static_cast<int>(slot);
      }
    }
  } catch (...) {
    // Out of memory: the file is just not covered.
  }
  return -1;
}

// The full path of the open folder `folder`, or "" when the system cannot
// tell it.
std::wstring folderPath(NativeHandle folder) {
  const HANDLE handle = reinterpret_cast<HANDLE>(folder);
  const DWORD needed = ::GetFinalPathNameByHandleW(handle, nullptr, 0, FILE_NAME_NORMALIZED);
  if (needed == 0) return std::wstring();
  std::wstring path(needed, L'\0');
  const DWORD length = ::GetFinalPathNameByHandleW(handle, path.data(), needed, FILE_NAME_NORMALIZED);
  if (length == 0 || length >= needed) return std::wstring();
  path.resize(length);
  return path;
}

}  // namespace

TemporaryFileGuard::TemporaryFileGuard(const std::string& path) noexcept {
  try {
    m_slot = registerPath(win32::widePath(path));  // made full now: later changes of folder do not matter
  } catch (...) {
    m_slot = -1;
  }
}

TemporaryFileGuard::TemporaryFileGuard(NativeHandle folder, const std::string& name) noexcept {
  try {
    std::wstring path = folderPath(folder);
    if (!path.empty()) m_slot = registerPath(path + L"\\" + win32::wide(name));
  } catch (...) {
    m_slot = -1;
  }
}

TemporaryFileGuard::~TemporaryFileGuard() { release(); }

TemporaryFileGuard::TemporaryFileGuard(TemporaryFileGuard&& other) noexcept : m_slot(std::exchange(other.m_slot, -1)) {}

TemporaryFileGuard& TemporaryFileGuard::operator=(TemporaryFileGuard&& other) noexcept {
  if (this != &other) {
    release();
    m_slot = std::exchange(other.m_slot, -1);
  }
  return *this;
}

void TemporaryFileGuard::release() noexcept {
  if (m_slot < 0) return;
  Registry& files = registry();
  const std::lock_guard lock(files.mutex);
  files.paths[static_cast<std::size_t>(m_slot)].clear();
  m_slot = -1;
}

}  // namespace mailsift::platform
