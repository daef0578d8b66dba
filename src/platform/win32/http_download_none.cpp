// Downloads where the build has no HTTP library (Windows, for now): every
// download fails at once, saying so.
#include "platform/http_download.h"

namespace mailsift::platform {

HttpResult downloadToFile(const std::string& url, std::FILE* /*file*/, const HttpOptions& /*options*/) {
  HttpResult result;
  result.failure = Failure{FailureKind::Download, 0, url, "downloads are not available in this build"};
  return result;
}

}  // namespace mailsift::platform
