// The window's texts are UTF-8 like the core's; the W functions of Win32
// take UTF-16. The window converts at that boundary with the platform
// layer's conversions.
#pragma once

#include <string>
#include <string_view>

#include "platform/win32/win32_text.h"

namespace mailsift::gui_win32 {

using platform::win32::utf8;
using platform::win32::wide;

// `path` with every "/" turned into "\", the separator the shell's dialogs
// show and expect.
std::wstring windowsPath(std::string_view path);

}  // namespace mailsift::gui_win32
