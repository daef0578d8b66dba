// The command line on Windows: the narrow argv holds the arguments in the
// ANSI code page, where a Greek or Chinese file name has already become
// question marks, so the wide command line is split again; and the C
// streams would turn every "\n" into "\r\n", which the output contract
// does not allow.
#include <windows.h>
// shellapi.h needs windows.h before it.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "platform/command_line.h"
#include "platform/win32/win32_text.h"

namespace mailsift::platform {
namespace {

UINT g_consoleCodePage = 0;  // the console's code page before ours, or 0

void restoreConsoleCodePage() { ::SetConsoleOutputCP(g_consoleCodePage); }

bool isConsole(std::FILE* stream) {
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0;
}

}  // namespace

std::vector<std::string> commandArguments(int /*argc*/, char** /*argv*/) {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* wideArguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wideArguments == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(win32::utf8(std::wstring(wideArguments[i])));
  ::LocalFree(wideArguments);
  return arguments;
}

void prepareStandardStreams() noexcept {
  for (std::FILE* stream : {stdin, stdout, stderr}) ::_setmode(::_fileno(stream), _O_BINARY);
  // The bytes written are UTF-8; a console shows them as such only with its
  // output code page set to UTF-8. Files and pipes get the bytes unchanged.
  if (isConsole(stdout) || isConsole(stderr)) {
    const UINT previous = ::GetConsoleOutputCP();
    if (previous != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8)) {
      g_consoleCodePage = previous;
      std::atexit(&restoreConsoleCodePage);
    }
  }
}

}  // namespace mailsift::platform
