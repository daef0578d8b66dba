// Terminal questions on POSIX.
#include "platform/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace mailsift::platform {

bool isTerminal(std::FILE* stream) noexcept { return ::isatty(::fileno(stream)) == 1; }

unsigned terminalColumns(std::FILE* stream) noexcept {
  winsize size{};
  if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

}  // namespace mailsift::platform
