// The folder that holds the temporary download file.
#pragma once

#include <functional>
#include <string>

namespace mailsift {

// The temporary folder, always ending in a separator: the environment
// variable TEMP, else TMP, else TMPDIR, else the system's ("/tmp" on POSIX,
// GetTempPathW's folder on Windows). Worked out on the first call, which
// also tries to create that folder (one level; a failure is ignored), and
// kept unchanged for the rest of the process. Thread-safe.
const std::string& temporaryFolder();

// The temporary download file: temporaryFolder() followed by "kelvaro.tmp".
std::string temporaryDownloadPath();

namespace detail {
// The rule behind temporaryFolder, with the environment given as a lookup that
// answers "" for an unset variable. Creates nothing.
std::string resolveTemporaryFolder(const std::function<std::string(const char*)>& lookup);
}  // namespace detail

}  // namespace mailsift
