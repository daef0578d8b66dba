// Downloading a URL to a file, with the choice of the target name when a
// file of that name is in the way, and the two path helpers it uses.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/failure.h"
#include "platform/http_download.h"

namespace mailsift {

using platform::HttpOptions;

// What downloadUrl does when its target exists already. Any value other
// than the first three overwrites, so a cast from any 32-bit number is a
// valid mode.
enum class DownloadMode : std::int32_t {
  NumberedName = 0,    // keep it; save as "a (2).b", "a (3).b", ...
  SkipExisting = 1,    // save nothing, no error
  RefuseExisting = 2,  // save nothing, error kErrTargetExists
  Overwrite = 3,       // replace it once the download has succeeded
};

// The two refusals of downloadUrl, as signed 32-bit numbers.
inline constexpr std::int32_t kErrTargetExists = static_cast<std::int32_t>(0x800C0001u);
inline constexpr std::int32_t kErrNoNameInUrl = static_cast<std::int32_t>(0x800C0002u);
static_assert(kErrTargetExists == -2146697215 && kErrNoNameInUrl == -2146697214);
inline constexpr std::string_view kURLDownloadErrorSource = "modURLDownload.URLDownload";

struct URLDownloadError {
  std::int32_t number = 0;
  std::string source;  // always kURLDownloadErrorSource
};

struct URLDownloadResult {
  std::string savedPath;                  // where the resource was saved; "" when nothing was
  std::optional<URLDownloadError> error;  // set when URLDownload refused before downloading
  long httpStatus = 0;                    // the server's last status, 0 when none came
  // Set when a download was tried and nothing was saved: why, for the URL.
  std::optional<platform::Failure> failure;

  bool saved() const noexcept { return !savedPath.empty(); }
};

// Downloads `url` (used exactly as given) into a file chosen from
// `destination` and `mode`:
// - `destination` is a folder (it exists and is one, links followed): the
//   file name is the part of `url` after its last "/" (a `url` without "/"
//   is refused with kErrNoNameInUrl) inside that folder. Otherwise the file
//   is `destination` itself.
// - NumberedName: the first free name of "a.b", "a (2).b", "a (3).b", ...,
//   the number going before the last "." of the name ("a" gives "a (2)").
//   Each name is claimed by creating it exclusively, so a file another
//   process creates meanwhile is never overwritten; a symbolic link counts
//   as taken and is never followed.
// - SkipExisting / RefuseExisting: when the target exists, nothing is
//   downloaded; the result is empty, or carries the error kErrTargetExists.
// - any other mode: the download goes to a new file beside the target,
//   which replaces the target (or the link at its name) only on success.
// A new file gets mode 0600. A download that fails leaves no file behind
// and leaves an existing target as it was; so does one ended by SIGINT,
// SIGTERM or SIGHUP while the file is written (see TemporaryFileGuard). Returns the saved path, or an
// empty path with `failure` (or `error` for a refusal); a skip in
// SkipExisting sets neither. A failure names `url` as its target; a step on
// a file (creating, writing, renaming it) names the file in its message.
// Blocks until done; thread-safe.
[[nodiscard]] URLDownloadResult downloadUrl(const std::string& url, const std::string& destination, DownloadMode mode,
                                            const HttpOptions& options = {});

// `name` when `folder` is empty; `folder` + `name` when `folder` ends in a
// separator ("/", or on Windows "\\" too); otherwise `folder`, the last
// separator in it ("/" when it has none) and `name`. Thread-safe.
std::string joinPath(std::string_view folder, std::string_view name);

// True when anything exists at `path`: a file, a folder, or a symbolic link
// (even one whose target is missing). False otherwise, also when a folder
// on the way is missing or is a file, and for "". Thread-safe.
bool pathExists(const std::string& path);

}  // namespace mailsift
