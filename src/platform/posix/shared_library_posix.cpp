// Shared libraries on POSIX: dlopen and dlsym; the executable's folder from
// /proc/self/exe.
#include "platform/shared_library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace mailsift::platform {

std::optional<SharedLibrary> SharedLibrary::load(const std::string& path, std::string& error) {
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = ::dlerror();
    error = reason != nullptr ? reason : "cannot load " + path;
    return std::nullopt;
  }
  return SharedLibrary(handle);
}

void* SharedLibrary::symbol(const char* name) const noexcept { return ::dlsym(m_handle, name); }

std::string executableFolder() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof path) return {};
  std::string folder(path, static_cast<std::size_t>(length));
  const std::size_t slash = folder.rfind('/');
  return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

}  // namespace mailsift::platform
