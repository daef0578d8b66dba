// UTF-8 and UTF-16, and Win32 errors as failures.
#include "platform/win32/win32_text.h"

#include <cerrno>
#include <climits>
#include <string>
#include <string_view>
#include <utility>

namespace mailsift::platform::win32 {

std::wstring wide(std::string_view utf8) {
  if (utf8.empty() || utf8.size() > INT_MAX) return std::wstring();
  const int length = static_cast<int>(utf8.size());
  const int needed = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  std::wstring text(static_cast<std::size_t>(needed), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, text.data(), needed);
  return text;
}

std::wstring widePath(const std::string& path) {
  std::wstring text = wide(path);
  for (wchar_t& c : text) {
    if (c == L'/') c = L'\\';
  }
  const auto startsWith = [](const std::wstring& whole, std::wstring_view head) {
    return whole.compare(0, head.size(), head) == 0;
  };
  // "\\?\" paths and devices ("\\.\") are taken as they are.
  if (text.empty() || startsWith(text, L"\\\\?\\") || startsWith(text, L"\\\\.\\")) return text;
  // The full path resolves relative names and "." and ".." steps as the
  // system would, so that "\\?\" can lift the 260-character limit from
  // every path, relative ones too.
  const DWORD needed = ::GetFullPathNameW(text.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return text;
  std::wstring full(needed, L'\0');
  const DWORD length = ::GetFullPathNameW(text.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return text;
  full.resize(length);
  if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
  if (startsWith(full, L"\\\\") && !startsWith(full, L"\\\\?\\") && !startsWith(full, L"\\\\.\\")) {
    return L"\\\\?\\UNC\\" + full.substr(2);
  }
  return full;
}

std::string utf8(std::wstring_view text) {
  if (text.empty() || text.size() > INT_MAX) return std::string();
  const int length = static_cast<int>(text.size());
  const int needed = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(needed), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, bytes.data(), needed, nullptr, nullptr);
  return bytes;
}

int errnoOf(DWORD error) noexcept {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return ENOENT;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER:
      return EINVAL;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_TOO_MANY_OPEN_FILES:
      return EMFILE;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_NOT_SAME_DEVICE:
      return EXDEV;
    case ERROR_DIR_NOT_EMPTY:
      return ENOTEMPTY;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
      return EPIPE;
    default:
      return EIO;
  }
}

std::string systemMessage(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  std::wstring message(text != nullptr ? text : L"", length);
  if (text != nullptr) ::LocalFree(text);
  while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' ')) {
    message.pop_back();
  }
  if (message.empty()) return "error " + std::to_string(error);
  return utf8(message);
}

Failure failureFromWin32(DWORD error, std::string target, FailureKind otherwise) {
  if (error == ERROR_SUCCESS) error = ERROR_IO_DEVICE;
  Failure failure = failureFromSystemError(errnoOf(error), std::move(target), otherwise);
  failure.systemError = static_cast<int>(error);
  failure.message = systemMessage(error);
  return failure;
}

}  // namespace mailsift::platform::win32
