// Child processes for tests, with all three standard streams on pipes.
#include "support/process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <utility>

extern char** environ;

namespace mailsift::test {
namespace {

void closeIfOpen(std::intptr_t& fd) {
  if (fd >= 0) close(static_cast<int>(fd));
  fd = -1;
}

}  // namespace

RunningProcess startProcess(const std::string& program, const std::vector<std::string>& args,
                            const Environment& environment) {
  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  for (const int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) posix_spawn_file_actions_addclose(&actions, fd);

  std::vector<std::string> argvText = {program};
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argvText) argv.push_back(arg.data());
  argv.push_back(nullptr);

  std::vector<std::string> environmentText;
  for (char** variable = environ; *variable != nullptr; ++variable) {
    const std::string text(*variable);
    const bool replaced = std::any_of(environment.begin(), environment.end(),
                                      [&](const auto& added) { return text.starts_with(added.first + "="); });
    if (!replaced) environmentText.push_back(text);
  }
  for (const auto& [name, value] : environment) environmentText.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& variable : environmentText) envp.push_back(variable.data());
  envp.push_back(nullptr);

  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  if (spawned != 0) {
    for (const int fd : {in[1], out[0], err[0]}) close(fd);
    throw std::runtime_error("cannot start " + program);
  }
  return RunningProcess(pid, in[1], out[0], err[0]);
}

RunningProcess::RunningProcess(RunningProcess&& other) noexcept
    : m_pid(std::exchange(other.m_pid, -1)),
      m_in(std::exchange(other.m_in, -1)),
      m_out(std::exchange(other.m_out, -1)),
      m_err(std::exchange(other.m_err, -1)) {}

RunningProcess::~RunningProcess() {
  for (std::intptr_t* fd : {&m_in, &m_out, &m_err}) closeIfOpen(*fd);
  if (m_pid > 0) {
    kill(static_cast<pid_t>(m_pid), SIGKILL);
    waitpid(static_cast<pid_t>(m_pid), nullptr, 0);
  }
}

void RunningProcess::signal(int signal) const { kill(static_cast<pid_t>(m_pid), signal); }

ProcessResult RunningProcess::wait(const std::string& input) {
  // Feed the input and drain both outputs together, so no pipe fills up.
  ::signal(SIGPIPE, SIG_IGN);
  ProcessResult result;
  std::size_t fed = 0;
  if (input.empty()) closeIfOpen(m_in);
  while (m_in >= 0 || m_out >= 0 || m_err >= 0) {
    pollfd fds[3] = {{static_cast<int>(m_in), POLLOUT, 0},
                     {static_cast<int>(m_out), POLLIN, 0},
                     {static_cast<int>(m_err), POLLIN, 0}};
    if (poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (m_in >= 0 && fds[0].revents != 0) {
      const ssize_t n = write(static_cast<int>(m_in), input.data() + fed, input.size() - fed);
      if (n > 0) fed += static_cast<std::size_t>(n);
      if (n <= 0 || fed == input.size()) closeIfOpen(m_in);
    }
    char buffer[65536];
    std::intptr_t* sources[2] = {&m_out, &m_err};
    std::string* sinks[2] = {&result.out, &result.err};
    for (int i = 0; i < 2; ++i) {
      if (*sources[i] < 0 || fds[i + 1].revents == 0) continue;
      const ssize_t n = read(static_cast<int>(*sources[i]), buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else {
        closeIfOpen(*sources[i]);
      }
    }
  }
  int status = 0;
  waitpid(static_cast<pid_t>(std::exchange(m_pid, -1)), &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args, const std::string& input,
                         const Environment& environment) {
  return startProcess(program, args, environment).wait(input);
}

}  // namespace mailsift::test
