// The subcommands of the `mailsift` tool. Each takes its own arguments (the
// words after the subcommand's name) and returns the process exit status:
// 0 success, 1 a failure of the command's own work, 2 bad usage or an input
// that could not be read.
#pragma once

#include <span>
#include <string_view>

namespace mailsift::cli {

int runExtract(std::span<const std::string_view> args);
int runScan(std::span<const std::string_view> args);

}  // namespace mailsift::cli
