// Downloading a URL to a file: choosing and claiming the target file, then filling it from
// the HTTP layer, so that a failed download never leaves a file behind.
#include "sources/url_download.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/exclusive_file.h"
#include "platform/path_text.h"
#include "platform/temporary_files.h"

namespace mailsift {
namespace {

// Bounds the search for a free numbered name, so that a folder filled with
// "a (2).b" to "a (100000).b" ends in a failure instead of a long loop.
constexpr int kMaxNumberedNames = 100'000;
// Names tried for the new file of an overwriting download; each clash
// means another process took that name in between.
constexpr int kMaxReplacementNames = 100;

bool isFolder(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_directory(platform::filesystemPath(path), ignored);  // follows links
}

URLDownloadResult refused(std::int32_t number) {
  URLDownloadResult result;
  result.error = URLDownloadError{number, std::string(kURLDownloadErrorSource)};
  return result;
}

URLDownloadResult failedWith(platform::Failure failure) {
  URLDownloadResult result;
  result.failure = std::move(failure);
  return result;
}

// A failure of a step on the file `path` while downloading `url`: reported
// for the URL, with the step and the file in front of the reason, such as
// "cannot create /tmp/a.tmp: Permission denied".
platform::Failure stepFailure(platform::Failure failure, const std::string& url, std::string_view step,
                              const std::string& path) {
  return platform::asStepOf(std::move(failure), url, std::string(step) + " " + path);
}

// Every name tried was taken.
URLDownloadResult noFreeName(const std::string& url, std::string what) {
  return failedWith(platform::Failure{platform::FailureKind::Exists, 0, url, std::move(what)});
}

// The folder part of `path` up to and including its last separator ("" when
// it has none), and the name after it. Keeping the "/" with the folder keeps
// "/x" in the root folder.
std::pair<std::string, std::string> splitAtLastSlash(const std::string& path) {
  const auto separator = std::find_if(path.rbegin(), path.rend(), platform::isPathSeparator);
  const std::size_t slash =
      separator == path.rend() ? std::string::npos : static_cast<std::size_t>(path.rend() - separator - 1);
  if (slash == std::string::npos) return {std::string(), path};
  return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// Downloads into `file`, newly created at `path`. On success the result
// names `path`; on failure the file is removed again.
URLDownloadResult fill(platform::ExclusiveFile file, const std::string& path, const std::string& url,
                       const HttpOptions& options) {
  const platform::TemporaryFileGuard removedOnInterrupt(path);
  const platform::HttpResult http = platform::downloadToFile(url, file.stream(), options);
  const int closeError = file.close();
  URLDownloadResult result;
  result.httpStatus = http.httpStatus;
  if (http.ok() && closeError == 0) {
    result.savedPath = path;
    return result;
  }
  (void)platform::removeFile(path);  // it is ours: created exclusively above
  if (!http.ok()) {
    result.failure = http.failure;
  } else {
    platform::Failure closing = platform::failureFromSystemError(closeError, path, platform::FailureKind::WriteFailed);
    result.failure = stepFailure(std::move(closing), url, "cannot write", path);
  }
  return result;
}

// Mode NumberedName: claims "a.b", else "a (2).b", "a (3).b", ... by
// exclusive creation, so a name taken meanwhile by anyone is passed over.
URLDownloadResult downloadNumbered(const std::string& url, const std::string& target, const HttpOptions& options) {
  auto [folder, base] = splitAtLastSlash(target);
  std::string extension;
  if (const std::size_t dot = base.rfind('.'); dot != std::string::npos) {
    extension = base.substr(dot);
    base.resize(dot);
  }
  for (int counter = 1; counter <= kMaxNumberedNames; ++counter) {
    std::string name = base;
    if (counter > 1) name.append(" (").append(std::to_string(counter)).append(")");
    name += extension;
    const std::string path = joinPath(folder, name);
    platform::ExclusiveCreateResult created = platform::createExclusiveFile(path);
    if (created.ok()) return fill(std::move(created.file), path, url, options);
    if (created.failure->kind == platform::FailureKind::Exists) continue;
    return failedWith(stepFailure(std::move(*created.failure), url, "cannot create", path));
  }
  return noFreeName(url, "no free file name for " + target);
}

// Modes SkipExisting and RefuseExisting: the target itself, only when
// nothing is there. A file created by someone else after the check counts
// as existing, just as if the check had seen it.
URLDownloadResult downloadIfAbsent(const std::string& url, const std::string& target, DownloadMode mode,
                                   const HttpOptions& options) {
  const auto onExisting = [mode] {
    return mode == DownloadMode::SkipExisting ? URLDownloadResult{} : refused(kErrTargetExists);
  };
  if (pathExists(target)) return onExisting();
  platform::ExclusiveCreateResult created = platform::createExclusiveFile(target);
  if (created.ok()) return fill(std::move(created.file), target, url, options);
  if (created.failure->kind == platform::FailureKind::Exists) return onExisting();
  return failedWith(stepFailure(std::move(*created.failure), url, "cannot create", target));
}

// Overwriting modes: the download goes to a new hidden file in the target's
// folder, which is renamed over the target only after it succeeded, so a
// failure leaves the old file untouched, and a link at the target's name is
// replaced rather than written through.
URLDownloadResult downloadReplacing(const std::string& url, const std::string& target, const HttpOptions& options) {
  const auto [folder, name] = splitAtLastSlash(target);
  auto seed = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (int attempt = 0; attempt < kMaxReplacementNames; ++attempt) {
    seed = seed * 6364136223846793005u + 1442695040888963407u;  // any fresh suffix will do
    std::string partPath = folder;
    partPath.append(".").append(name).append(".").append(std::to_string(seed % 1'000'000'007u)).append(".part");
    platform::ExclusiveCreateResult created = platform::createExclusiveFile(partPath);
    if (!created.ok() && created.failure->kind == platform::FailureKind::Exists) continue;
    if (!created.ok()) return failedWith(stepFailure(std::move(*created.failure), url, "cannot create", partPath));
    const platform::TemporaryFileGuard removedOnInterrupt(partPath);  // until it is renamed
    URLDownloadResult result = fill(std::move(created.file), partPath, url, options);
    if (!result.saved()) return result;
    if (std::optional<platform::Failure> failed = platform::replaceFile(partPath, target)) {
      (void)platform::removeFile(partPath);
      return failedWith(stepFailure(std::move(*failed), url, "cannot replace", target));
    }
    result.savedPath = target;
    return result;
  }
  return noFreeName(url, "no free file name beside " + target);
}

}  // namespace

URLDownloadResult downloadUrl(const std::string& url, const std::string& destination, DownloadMode mode,
                              const HttpOptions& options) {
  std::string target = destination;
  if (isFolder(destination)) {
    const std::size_t slash = url.rfind('/');
    if (slash == std::string::npos) return refused(kErrNoNameInUrl);
    target = joinPath(destination, std::string_view(url).substr(slash + 1));
  }
  switch (mode) {
    case DownloadMode::NumberedName:
      return downloadNumbered(url, target, options);
    case DownloadMode::SkipExisting:
    case DownloadMode::RefuseExisting:
      return downloadIfAbsent(url, target, mode, options);
    case DownloadMode::Overwrite:
    default:
      return downloadReplacing(url, target, options);
  }
}

std::string joinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  // The separator the folder already uses, so that a Windows path stays in
  // one style: "C:\\d" and "a.txt" give "C:\\d\\a.txt".
  const auto last = std::find_if(path.rbegin(), path.rend(), platform::isPathSeparator);
  const char separator = last != path.rend() ? *last : '/';
  if (!path.empty() && !platform::isPathSeparator(path.back())) path.push_back(separator);
  path.append(name);
  return path;
}

bool pathExists(const std::string& path) {
  if (path.empty()) return false;
  std::error_code error;
  // symlink_status: a link is something at that path, whatever it points to.
  const std::filesystem::file_status status = std::filesystem::symlink_status(platform::filesystemPath(path), error);
  return !error && std::filesystem::exists(status);
}

}  // namespace mailsift
