// The text of a PDF document, page by page.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/failure.h"

namespace mailsift {

// True when `head`, the first bytes of a stream, shows a PDF document
// ("%PDF-" within its first kilobyte).
bool looksLikePdf(std::string_view head) noexcept;

// False when this build has no PDF decoder (it was built without its
// library): readPdfText and readPdfFileText then fail, and a PDF is best
// read as stored. Thread-safe.
bool canReadPdf() noexcept;

enum class PageReply : unsigned char { Continue, Stop };

// Extracts the text of every page of the PDF document held in `document`
// (its whole bytes, read in place, at most 2 GiB), in page order, in UTF-8
// and in reading order, calling `onPage` with each page's text (valid only
// during the call) until it answers Stop. A document with a damaged
// cross-reference table is rebuilt where the PDF library can. A damaged or
// cut document it cannot read gives a Damaged failure naming `name`, one
// locked by a password an AccessDenied failure; pages handed over before
// stay. Nothing is printed. Several threads may read different documents at
// once.
[[nodiscard]] std::optional<platform::Failure> readPdfText(
    std::string_view document, const std::string& name, const std::function<PageReply(std::string_view utf8)>& onPage);

// The same for the PDF file at `path`, read by the PDF library from the
// file itself, so it is never held whole in memory here. A file that cannot
// be opened gives the failure of opening it (NotFound, AccessDenied ...).
[[nodiscard]] std::optional<platform::Failure> readPdfFileText(
    const std::string& path, const std::function<PageReply(std::string_view utf8)>& onPage);

}  // namespace mailsift
