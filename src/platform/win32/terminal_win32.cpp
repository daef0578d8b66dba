// Terminal questions on Windows: the console behind a C stream.
#include <io.h>
#include <windows.h>

#include "platform/terminal.h"

namespace mailsift::platform {

bool isTerminal(std::FILE* stream) noexcept { return ::_isatty(::_fileno(stream)) != 0; }

unsigned terminalColumns(std::FILE* stream) noexcept {
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (handle != INVALID_HANDLE_VALUE && ::GetConsoleScreenBufferInfo(handle, &info)) {
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    if (columns > 0) return static_cast<unsigned>(columns);
  }
  return 80;
}

}  // namespace mailsift::platform
