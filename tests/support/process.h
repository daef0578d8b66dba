// Runs a program as a child process and collects what it prints, for the
// end-to-end tests of the command-line tool.
#pragma once

#include <string>
#include <vector>

namespace mailsift::test {

struct ProcessResult {
  int exitCode = -1;  // the exit status, or 128 + signal number when killed
  std::string out;
  std::string err;
};

// Runs `program` with `args`, feeding `input` on standard input, and waits
// for it to end.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = "");

}  // namespace mailsift::test
