// Shared libraries on Windows: LoadLibraryEx and GetProcAddress; the
// executable's folder from GetModuleFileName.
#include <windows.h>

#include "platform/shared_library.h"
#include "platform/win32/win32_text.h"

namespace mailsift::platform {

std::optional<SharedLibrary> SharedLibrary::load(const std::string& path, std::string& error) {
  // The library's own folder is searched for the DLLs it needs, not the
  // current one.
  HMODULE handle = ::LoadLibraryExW(win32::widePath(path).c_str(), nullptr,
                                    LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  if (handle == nullptr) {
    error = describe(win32::failureFromWin32(::GetLastError(), path, FailureKind::ReadFailed));
    return std::nullopt;
  }
  return SharedLibrary(reinterpret_cast<void*>(handle));
}

void* SharedLibrary::symbol(const char* name) const noexcept {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(m_handle), name));
}

std::string executableFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
  const std::string folder = win32::utf8(path);
  const std::size_t slash = folder.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

}  // namespace mailsift::platform
