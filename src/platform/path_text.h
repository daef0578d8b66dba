// Paths as the core holds them, UTF-8 text, and what the system takes for
// a folder separator in them.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace mailsift::platform {

// True for a character that separates folders in a path: "/" everywhere,
// and "\" as well on Windows (on POSIX it is an ordinary character of a name).
constexpr bool isPathSeparator(char c) noexcept {
#ifdef _WIN32
  return c == '/' || c == '\\';
#else
  return c == '/';
#endif
}

// The UTF-8 path `path` for std::filesystem. A plain std::string would be
// read in the ANSI code page on Windows, which garbles or loses every name
// outside it.
inline std::filesystem::path filesystemPath(std::string_view path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

}  // namespace mailsift::platform
