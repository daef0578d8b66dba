// PDF text through poppler's C++ interface. Every poppler call of the
// program is in this file, and no poppler type leaves it, so that the
// library (some 9 ms of every start when linked) can later be loaded only
// when the first PDF comes.
#include "decode/pdf_text.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>

#include <climits>
#include <memory>
#include <mutex>

#include "platform/input_file.h"

namespace mailsift {
namespace {

// Poppler writes what it finds wrong with a document to standard error
// unless it is given somewhere else to write it; the core never prints.
void ignorePopplerMessage(const std::string& /*message*/, void* /*closure*/) {}

// Poppler builds its global settings (tables of fonts and encodings, some
// 2 ms) when a document is opened while none is, and drops them when the
// last one is closed. A tiny document kept open for the life of the process
// keeps them, so that each small PDF file of a folder loads in microseconds.
constexpr char kKeptDocument[] =
    "%PDF-1.0\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n2 0 obj<</Type/Pages/Kids[3 0 R]/Count 1>>endobj\n"
    "3 0 obj<</Type/Page/Parent 2 0 R/MediaBox[0 0 1 1]>>endobj\ntrailer<</Size 4/Root 1 0 R>>\n";

void preparePoppler() {
  static std::once_flag once;
  std::call_once(once, [] {
    poppler::set_debug_error_function(ignorePopplerMessage, nullptr);
    static const std::unique_ptr<poppler::document> kept(
        poppler::document::load_from_raw_data(kKeptDocument, sizeof kKeptDocument - 1));
  });
}

platform::Failure damaged(const std::string& name, std::string message) {
  return {platform::FailureKind::Damaged, 0, name, std::move(message)};
}

// Hands over the text of every page of `document`, loaded by poppler or
// nullptr when it could not be.
//
// The reading-order layout keeps an address whole where raw order does not:
// a line drawn in pieces out of order ("@example.com" before "john") reads
// in its place, and the lines of a table cell stay together. It is also a
// little faster than the physical layout, which pads columns with blanks.
std::optional<platform::Failure> readPages(std::unique_ptr<poppler::document> document, const std::string& name,
                                           const std::function<PageReply(std::string_view utf8)>& onPage) {
  if (!document) return damaged(name, "not a readable PDF document");
  if (document->is_locked()) {
    return platform::Failure{platform::FailureKind::AccessDenied, 0, name, "the PDF document needs a password"};
  }
  const int pages = document->pages();
  for (int index = 0; index < pages; ++index) {
    const std::unique_ptr<poppler::page> page(document->create_page(index));
    if (!page) return damaged(name, "page " + std::to_string(index + 1) + " of the PDF document cannot be read");
    const poppler::byte_array text = page->text(poppler::rectf(), poppler::page::non_raw_non_physical_layout).to_utf8();
    if (onPage(std::string_view(text.data(), text.size())) == PageReply::Stop) break;
  }
  return std::nullopt;
}

}  // namespace

std::optional<platform::Failure> readPdfText(std::string_view document, const std::string& name,
                                             const std::function<PageReply(std::string_view utf8)>& onPage) {
  if (document.size() > static_cast<std::size_t>(INT_MAX)) {
    return platform::Failure{platform::FailureKind::ReadFailed, 0, name,
                             "the PDF document is too large to be read from memory"};
  }
  preparePoppler();
  // The document is read in place, not copied.
  std::unique_ptr<poppler::document> loaded(
      poppler::document::load_from_raw_data(document.data(), static_cast<int>(document.size())));
  return readPages(std::move(loaded), name, onPage);
}

std::optional<platform::Failure> readPdfFileText(const std::string& path,
                                                 const std::function<PageReply(std::string_view utf8)>& onPage) {
  // Opened here first, which refuses a folder, FIFO or device (poppler
  // would wait on a FIFO) and says why a file cannot be read, which poppler
  // does not.
  {
    platform::InputFile file;
    if (std::optional<platform::Failure> unopened = platform::InputFile::open(path, file)) return unopened;
  }
  preparePoppler();
  std::unique_ptr<poppler::document> loaded(poppler::document::load_from_file(path));
  return readPages(std::move(loaded), path, onPage);
}

}  // namespace mailsift
