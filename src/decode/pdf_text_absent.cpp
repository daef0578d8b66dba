// A build without poppler: no PDF document is decoded.
#include "decode/pdf_text.h"

namespace mailsift {
namespace {

platform::Failure noDecoder(const std::string& name) {
  return platform::Failure{platform::FailureKind::ReadFailed, 0, name, "this build cannot decode PDF"};
}

}  // namespace

std::optional<platform::Failure> readPdfText(std::string_view /*document*/, const std::string& name,
                                             const std::function<PageReply(std::string_view utf8)>& /*onPage*/) {
  return noDecoder(name);
}

std::optional<platform::Failure> readPdfFileText(const std::string& path,
                                                 const std::function<PageReply(std::string_view utf8)>& /*onPage*/) {
  return noDecoder(path);
}

}  // namespace mailsift
