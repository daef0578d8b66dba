#include "support/unprivileged.h"

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace mailsift::test {
namespace {

const passwd* nobody() { return ::getpwnam("nobody"); }

}  // namespace

bool canRunUnprivileged() { return ::geteuid() != 0 || nobody() != nullptr; }

void giveToUnprivileged(const std::filesystem::path& path) {
  if (::geteuid() != 0 || nobody() == nullptr) return;
  const uid_t user = nobody()->pw_uid;
  const gid_t group = nobody()->pw_gid;
  (void)::lchown(path.c_str(), user, group);
  if (!std::filesystem::is_directory(std::filesystem::symlink_status(path))) return;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
    (void)::lchown(entry.path().c_str(), user, group);
  }
}

int runUnprivileged(const std::function<int()>& body) {
  if (::geteuid() != 0) return body();
  const passwd* user = nobody();
  if (user == nullptr) return -1;
  const uid_t uid = user->pw_uid;
  const gid_t gid = user->pw_gid;
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) ::_exit(255);
    ::_exit(body() & 0xFF);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace mailsift::test
