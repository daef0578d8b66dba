// What every Win32 source of the platform layer shares: paths arrive as
// UTF-8 and are handed to the W functions as UTF-16, and Win32 error codes
// become the errno values that Failure carries on every system.
#pragma once

#include <windows.h>

#include <string>

#include "platform/failure.h"

namespace mailsift::platform::win32 {

// `utf8` as UTF-16. Bytes that are no UTF-8 become U+FFFD, so such a name
// names no file rather than another one.
std::wstring wide(const std::string& utf8);

// `path` as UTF-16 for the W file functions: "/" becomes "\", and the
// path, made full as the system resolves it (relative names, "." and ".."),
// gets the "\\?\" prefix, so that paths past MAX_PATH open.
std::wstring widePath(const std::string& path);

// `text` as UTF-8.
std::string utf8(const std::wstring& text);

// The errno value closest to the Win32 error `error` (EIO for those without
// one).
int errnoOf(DWORD error) noexcept;

// failureFromSystemError for a Win32 error code.
Failure failureFromWin32(DWORD error, std::string target, FailureKind otherwise);

}  // namespace mailsift::platform::win32
