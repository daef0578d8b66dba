// What every Win32 source of the platform layer shares: paths arrive as
// UTF-8 and are handed to the W functions as UTF-16, and Win32 error codes
// become the errno values that Failure carries on every system.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/failure.h"

namespace mailsift::platform::win32 {

// `utf8` as UTF-16. Bytes that are no UTF-8 become U+FFFD, so such a name
// names no file rather than another one.
std::wstring wide(std::string_view utf8);

// `path` as UTF-16 for the W file functions: "/" becomes "\", and the
// path, made full as the system resolves it (relative names, "." and ".."),
// gets the "\\?\" prefix, so that paths past MAX_PATH open.
std::wstring widePath(const std::string& path);

// `text` as UTF-8; a lone surrogate becomes U+FFFD.
std::string utf8(std::wstring_view text);

// The errno value closest to the Win32 error `error` (EIO for those without
// one).
int errnoOf(DWORD error) noexcept;

// The system's text for the Win32 error `error` in the user's language,
// without the line end, or "error N" when the system has none.
std::string systemMessage(DWORD error);

// The failure for the Win32 error `error`: the kind of the closest errno
// value (see failureFromSystemError), the Win32 code itself as the system
// error number (ERROR_SUCCESS taken as ERROR_IO_DEVICE, so a failure never
// reads as success) and systemMessage's text.
Failure failureFromWin32(DWORD error, std::string target, FailureKind otherwise);

}  // namespace mailsift::platform::win32
