// Folder trees deeper than any path the system takes, for the tests of the
// folder walk, and a count of the process's open descriptors.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace mailsift::test {

// A chain of `depth` folders, each named `name` and each in the one before,
// the first in `parent`; each holds a file "f.txt", empty but for the last
// one, which holds `content`. It is
// made and removed level by level through open folders, so it may be deeper
// than any path reaches. Removed when destroyed.
class FolderChain {
 public:
  FolderChain(const std::filesystem::path& parent, std::string name, int depth, std::string_view content);
  ~FolderChain();
  FolderChain(const FolderChain&) = delete;
  FolderChain& operator=(const FolderChain&) = delete;

 private:
  std::filesystem::path m_parent;
  std::string m_name;
  int m_depth;
};

// The number of descriptors the process holds open now.
std::size_t openDescriptorCount();

}  // namespace mailsift::test
