// The command line on POSIX: arguments are bytes, taken as UTF-8, and the
// streams carry bytes already.
#include "platform/command_line.h"

namespace mailsift::platform {

std::vector<std::string> commandArguments(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

void prepareStandardStreams() noexcept {}

}  // namespace mailsift::platform
