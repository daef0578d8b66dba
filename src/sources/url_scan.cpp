// The web-page source of a scan.
#include "sources/url_scan.h"

#include <utility>

#include "platform/exclusive_file.h"
#include "platform/temporary_files.h"
#include "sources/temp_dir.h"

namespace mailsift {

UrlScanSource fetchUrlForScan(std::string_view answer, const PageReader& read, const HttpOptions& options) {
  UrlScanSource source;
  if (answer.find_first_not_of(' ') == std::string_view::npos) return source;

  const std::string url(answer);
  URLDownloadResult download = downloadUrl(url, temporaryDownloadPath(), DownloadMode::NumberedName, options);
  source.httpStatus = download.httpStatus;
  if (!download.saved()) {
    // A file destination is never refused, so this is a failed download.
    source.failure = std::move(download.failure);
    if (!source.failure) {
      source.failure = platform::Failure{platform::FailureKind::Download, 0, url, "nothing was downloaded"};
    }
    return source;
  }

  // Read and remove the file this call saved, and only that one: a file of
  // the plain temporary name may belong to someone else.
  const platform::TemporaryFileGuard removedOnInterrupt(download.savedPath);
  platform::InputFile page;
  std::optional<platform::Failure> failure = platform::InputFile::open(download.savedPath, page);
  if (!failure) {
    source.fetched = true;
    failure = read(page);
  }
  page = platform::InputFile();
  (void)platform::removeFile(download.savedPath);
  if (failure) {
    source.failure =
        platform::asStepOf(std::move(*failure), url, "cannot read the downloaded page " + download.savedPath);
  }
  return source;
}

}  // namespace mailsift
