// The web-page source of a scan: the page named by the user's answer is
// downloaded to the temporary download file, read, and the file removed.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/failure.h"
#include "sources/scan_text.h"
#include "sources/url_download.h"

namespace mailsift {

struct UrlScanSource {
  ScanText text;        // the page, byte for byte; empty when nothing was fetched
  long httpStatus = 0;  // the server's last status, 0 when none came
  // Set when a download was tried and gave no text: it failed, or the saved
  // page could not be read. Its target is the answer as typed.
  std::optional<platform::Failure> failure;
};

// Fetches the page for a URL scan. When `answer` trimmed of spaces is empty
// nothing is downloaded and the result is the empty text, not a failure.
// Otherwise `answer` as typed (not trimmed) is downloaded with
// DownloadMode::NumberedName to temporaryDownloadPath(); exactly the file that was
// saved (a numbered name when a file of the plain name is in the way) is
// read and then removed, while anything else in the temporary folder is
// left alone. When it returns, the call has left no file behind, whether
// the download worked or not. Blocks until done. Thread-safe: calls at the
// same time each save to, read and remove their own numbered file.
[[nodiscard]] UrlScanSource fetchUrlForScan(std::string_view answer, const HttpOptions& options = {});

}  // namespace mailsift
