// The PDF reader on any bytes: it must fail cleanly or give text, never
// crash or hang. Poppler itself is not instrumented, so the fuzzer finds
// its crashes but is guided only by our code.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "decode/pdf_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view document(reinterpret_cast<const char*>(data), size);
  (void)mailsift::looksLikePdf(document);
  (void)mailsift::readPdfText(document, "fuzz.pdf", [](std::string_view) { return mailsift::PageReply::Continue; });
  return 0;
}
