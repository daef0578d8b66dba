// Runs a program as a child process and collects what it prints, for the
// end-to-end tests of the command-line tool.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace mailsift::test {

// Variables set for a child on top of this process's environment.
using Environment = std::vector<std::pair<std::string, std::string>>;

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
  // The child and the parent's ends of its pipes: a process id and file
  // descriptors on POSIX, handles on Windows; -1 for none.
  RunningProcess(std::intptr_t process, std::intptr_t in, std::intptr_t out, std::intptr_t err) noexcept
      : m_pid(process), m_in(in), m_out(out), m_err(err) {}
  ~RunningProcess();
  RunningProcess(RunningProcess&& other) noexcept;
  RunningProcess& operator=(RunningProcess&&) = delete;
  RunningProcess(const RunningProcess&) = delete;
  RunningProcess& operator=(const RunningProcess&) = delete;

  // Sends `signal` to the child. Windows has no signals to send: the child
  // is ended at once there (see missing(Feature::Signals)).
  void signal(int signal) const;
  // Feeds `input` on standard input, collects both outputs until the child
  // closes them, and waits for it to end.
  ProcessResult wait(const std::string& input = "");

 private:
  std::intptr_t m_pid;
  std::intptr_t m_in, m_out, m_err;
};

// Starts `program` with `args` (UTF-8) and `environment` added to this
// process's own; throws std::runtime_error when it cannot.
RunningProcess startProcess(const std::string& program, const std::vector<std::string>& args,
                            const Environment& environment = {});

// Runs `program` with `args`, feeding `input` on standard input, and waits
// for it to end.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = "", const Environment& environment = {});

}  // namespace mailsift::test
