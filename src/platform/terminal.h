// Questions about the terminal, for progress output of the command line.
#pragma once

#include <cstdio>

namespace mailsift::platform {

// True when `stream` is connected to a terminal.
bool isTerminal(std::FILE* stream) noexcept;

// The width in columns of the terminal behind `stream`, or 80 when unknown.
unsigned terminalColumns(std::FILE* stream) noexcept;

}  // namespace mailsift::platform
