// Which of the decoders that need large libraries this build has.
#include "decode/container_reader.h"
#include "decode/pdf_text.h"

#if !defined(MAILSIFT_ARCHIVES) || !defined(MAILSIFT_PDF) || !defined(MAILSIFT_GZIP)
#error "MAILSIFT_ARCHIVES, MAILSIFT_GZIP and MAILSIFT_PDF must be defined by the build"
#endif

namespace mailsift {

bool canReadContainer(ContainerKind kind) noexcept {
  return MAILSIFT_ARCHIVES != 0 || (MAILSIFT_GZIP != 0 && kind == ContainerKind::Gzip);
}

bool canReadPdf() noexcept { return MAILSIFT_PDF != 0; }

}  // namespace mailsift
