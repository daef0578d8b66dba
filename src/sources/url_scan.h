// The web-page source of a scan: the page named by the user's answer is
// downloaded to the temporary download file, read, and the file removed.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/failure.h"
#include "platform/input_file.h"
#include "sources/url_download.h"

namespace mailsift {

// Reads the saved page, open at its start; returns a read failure, if any.
using PageReader = std::function<std::optional<platform::Failure>(platform::InputFile& page)>;

struct UrlScanSource {
  bool fetched = false;  // a page was saved and handed to the reader
  long httpStatus = 0;   // the server's last status, 0 when none came
  // Set when a download was tried and failed, or the saved page could not
  // be opened or read. Its target is the answer as typed.
  std::optional<platform::Failure> failure;
};

// Fetches the page for a URL scan. When `answer` trimmed of spaces is empty
// nothing is downloaded and `read` is not called; that is no failure.
// Otherwise `answer` as typed (not trimmed) is downloaded with
// DownloadMode::NumberedName to temporaryDownloadPath(); exactly the file
// that was saved (a numbered name when a file of the plain name is in the
// way) is opened, handed to `read`, and then removed, while anything else in
// the temporary folder is left alone. When it returns, the call has left no file behind, whether
// the download worked or not; nor does an end by SIGINT, SIGTERM or SIGHUP
// meanwhile. Blocks until done. Thread-safe: calls at the
// same time each save to, read and remove their own numbered file.
[[nodiscard]] UrlScanSource fetchUrlForScan(std::string_view answer, const PageReader& read,
                                            const HttpOptions& options = {});

}  // namespace mailsift
