// Paths on POSIX.
#include <sys/stat.h>

#include "platform/paths.h"

namespace mailsift::platform {

bool isFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool pathExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::lstat(path.c_str(), &info) == 0;
}

std::string systemTemporaryFolder() { return "/tmp/"; }

}  // namespace mailsift::platform
