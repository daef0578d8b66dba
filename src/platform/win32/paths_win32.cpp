// Paths on Windows, through the wide calls so that every name works.
#include <windows.h>

#include "platform/paths.h"
#include "platform/win32/win32_text.h"

namespace mailsift::platform {

bool isFolder(const std::string& path) {
  // Attributes of a link are its own; opening it follows it to the target.
  const std::wstring wide = win32::widePath(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const HANDLE target =
      ::CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (target == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool folder =
      ::GetFileInformationByHandle(target, &info) != 0 && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  ::CloseHandle(target);
  return folder;
}

bool pathExists(const std::string& path) {
  return !path.empty() && ::GetFileAttributesW(win32::widePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string systemTemporaryFolder() {
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return "C:\\Windows\\Temp\\";
  return withTrailingSeparator(win32::utf8(std::wstring(folder, length)));
}

}  // namespace mailsift::platform
