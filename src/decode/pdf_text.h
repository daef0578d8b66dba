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

enum class PageReply : unsigned char { Continue, Stop };

// Extracts the text of every page of the PDF document held in `document`
// (its whole bytes), in page order, in UTF-8, calling `onPage` with each
// page's text (valid only during the call). A damaged, encrypted or
// unreadable document gives a failure naming `name`; pages handed over
// before stay. Several threads may read different documents at once.
[[nodiscard]] std::optional<platform::Failure> readPdfText(
    std::string_view document, const std::string& name,
    const std::function<PageReply(std::string_view utf8)>& onPage);

// The same for the PDF file at `path`, read by the PDF library from the
// file itself, so it is never held whole in memory here.
[[nodiscard]] std::optional<platform::Failure> readPdfFileText(
    const std::string& path, const std::function<PageReply(std::string_view utf8)>& onPage);

}  // namespace mailsift
