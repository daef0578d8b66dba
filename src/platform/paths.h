// Paths as the core handles them: UTF-8 text, with the system's own
// separator between a folder and the names in it. Windows also takes "/"
// where it reads a path, so both count as separators there.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mailsift::platform {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
constexpr bool isPathSeparator(char c) noexcept { return c == '\\' || c == '/'; }
#else
inline constexpr char kPathSeparator = '/';
constexpr bool isPathSeparator(char c) noexcept { return c == '/'; }
#endif

// The position of the last separator in `path`, or npos.
constexpr std::size_t lastPathSeparator(std::string_view path) noexcept {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (isPathSeparator(path[i - 1])) return i - 1;
  }
  return std::string_view::npos;
}

// `path` with a separator appended when it does not end in one ("" too).
inline std::string withTrailingSeparator(std::string path) {
  if (path.empty() || !isPathSeparator(path.back())) path.push_back(kPathSeparator);
  return path;
}

// `folder` and `name` with one separator between them; just `name` when
// `folder` is "", and no second separator when `folder` ends in one.
inline std::string joinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && !isPathSeparator(path.back())) path.push_back(kPathSeparator);
  path.append(name);
  return path;
}

// True when `path` names a folder, links followed. Thread-safe.
bool isFolder(const std::string& path);

// True when something is at `path`: a file, a folder, or a link whether or
// not it leads anywhere. Thread-safe.
bool pathExists(const std::string& path);

// The system's temporary folder when the environment names none, ending in
// a separator: "/tmp/" on POSIX, GetTempPathW's folder on Windows.
std::string systemTemporaryFolder();

}  // namespace mailsift::platform
