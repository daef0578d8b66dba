// The command-line tool's arguments and standard streams, set up the same
// way on every system: arguments arrive as UTF-8, and what the tool prints
// reaches files and pipes byte for byte.
#pragma once

#include <string>
#include <vector>

namespace mailsift::platform {

// The program's arguments after its own name, as UTF-8. On POSIX these are
// `argv` as given. On Windows they are read again from the wide command line
// (`argc` and `argv` are not used), so that names outside the ANSI code page
// arrive intact. Throws std::bad_alloc only.
[[nodiscard]] std::vector<std::string> commandArguments(int argc, char** argv);

// Sets up standard input, output and error for bytes: no line-end
// translation, and on a Windows console UTF-8 text is shown as such (the
// console's code page is put back when the program ends). Call once at the
// start of main, before anything is read or printed. Does nothing on POSIX.
void prepareStandardStreams() noexcept;

}  // namespace mailsift::platform
