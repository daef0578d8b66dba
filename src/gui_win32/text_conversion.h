// The window's texts are UTF-8 like the core's; the W functions of Win32
// take UTF-16. These convert at that boundary.
#pragma once

#include <string>
#include <string_view>

namespace mailsift::gui_win32 {

// `utf8` as UTF-16; bytes that are no UTF-8 become U+FFFD.
std::wstring wide(std::string_view utf8);

// `text` as UTF-8; a lone surrogate becomes U+FFFD.
std::string utf8(std::wstring_view text);

// `path` with every "/" turned into "\", the separator the shell's dialogs
// show and expect.
std::wstring windowsPath(std::string_view path);

}  // namespace mailsift::gui_win32
