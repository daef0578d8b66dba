// Deep folder chains, made and removed with openat, mkdirat and unlinkat.
#include "support/folder_chain.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <iterator>
#include <utility>

namespace mailsift::test {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// Replaces the open folder `at` with its subfolder `name`.
int descend(int at, const char* name) {
  const int next = ::openat(at, name, kFolderFlags);
  ::close(at);
  return next;
}

}  // namespace

FolderChain::FolderChain(const std::filesystem::path& parent, std::string name, int depth, std::string_view content)
    : m_parent(parent), m_name(std::move(name)), m_depth(depth) {
  int at = ::open(m_parent.c_str(), kFolderFlags);
  for (int level = 0; level < m_depth && at >= 0; ++level) {
    ::mkdirat(at, m_name.c_str(), 0755);
    at = descend(at, m_name.c_str());
    const int file = ::openat(at, "f.txt", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (file < 0) continue;
    if (level + 1 == m_depth && ::write(file, content.data(), content.size()) < 0) content = {};
    ::close(file);
  }
  if (at >= 0) ::close(at);
}

FolderChain::~FolderChain() {
  int at = ::open(m_parent.c_str(), kFolderFlags);
  for (int level = 0; level < m_depth && at >= 0; ++level) at = descend(at, m_name.c_str());
  // From the bottom up through "..", as no path reaches the deep levels.
  for (int level = 0; level < m_depth && at >= 0; ++level) {
    ::unlinkat(at, "f.txt", 0);
    const int up = ::openat(at, "..", kFolderFlags);
    ::close(at);
    at = up;
    if (at >= 0) ::unlinkat(at, m_name.c_str(), AT_REMOVEDIR);
  }
  if (at >= 0) ::close(at);
}

std::size_t openDescriptorCount() {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

}  // namespace mailsift::test
