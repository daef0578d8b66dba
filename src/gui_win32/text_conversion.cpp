// Paths as the shell's dialogs show them.
#include "gui_win32/text_conversion.h"

#include <algorithm>

namespace mailsift::gui_win32 {

std::wstring windowsPath(std::string_view path) {
  std::wstring result = wide(path);
  std::replace(result.begin(), result.end(), L'/', L'\\');
  return result;
}

}  // namespace mailsift::gui_win32
