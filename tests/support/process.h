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

// A child started by startProcess, with all three standard streams on
// pipes. Move-only; a child still running when the object goes away is
// killed and waited for.
class RunningProcess {
 public:
  RunningProcess(int pid, int in, int out, int err) noexcept : m_pid(pid), m_in(in), m_out(out), m_err(err) {}
  ~RunningProcess();
  RunningProcess(RunningProcess&& other) noexcept;
  RunningProcess& operator=(RunningProcess&&) = delete;
  RunningProcess(const RunningProcess&) = delete;
  RunningProcess& operator=(const RunningProcess&) = delete;

  // Sends `signal` to the child.
  void signal(int signal) const;
  // Feeds `input` on standard input, collects both outputs until the child
  // closes them, and waits for it to end.
  ProcessResult wait(const std::string& input = "");

 private:
  int m_pid;
  int m_in, m_out, m_err;
};

// Starts `program` with `args`; throws std::runtime_error when it cannot.
RunningProcess startProcess(const std::string& program, const std::vector<std::string>& args);

// Runs `program` with `args`, feeding `input` on standard input, and waits
// for it to end.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = "");

}  // namespace mailsift::test
