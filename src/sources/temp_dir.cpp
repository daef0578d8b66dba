// The temporary folder, worked out once per process.
#include "sources/temp_dir.h"

#include <utility>

#include "platform/files.h"
#include "platform/paths.h"

namespace mailsift {

namespace detail {
std::string resolveTemporaryFolder(const std::function<std::string(const char*)>& lookup) {
  std::string folder;
  for (const char* name : {"TEMP", "TMP", "TMPDIR"}) {
    folder = lookup(name);
    if (!folder.empty()) break;
  }
  if (folder.empty()) return platform::systemTemporaryFolder();
  return platform::withTrailingSeparator(std::move(folder));
}
}  // namespace detail

const std::string& temporaryFolder() {
  static const std::string folder = [] {
    std::string resolved = detail::resolveTemporaryFolder(&platform::environmentVariable);
    (void)platform::createFolder(resolved);  // it usually exists; any failure is ignored
    return resolved;
  }();
  return folder;
}

std::string temporaryDownloadPath() { return temporaryFolder() + "kelvaro.tmp"; }

}  // namespace mailsift
