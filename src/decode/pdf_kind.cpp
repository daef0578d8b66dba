// Telling a PDF document by its first bytes. Kept apart from the reader so
// that recognising never needs the PDF library.
#include "decode/pdf_text.h"

namespace mailsift {

bool looksLikePdf(std::string_view head) noexcept {
  return head.substr(0, 1024).find("%PDF-") != std::string_view::npos;
}

}  // namespace mailsift
