// Fetching one http or https resource into an open file. The only place
// that knows the HTTP library; the caller creates and removes the file.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "platform/failure.h"

namespace mailsift::platform {

// How a download behaves. The defaults suit interactive use; tests shorten
// the time-outs and limits.
struct HttpOptions {
  // The whole transfer, connection and redirects included, fails when it
  // takes longer than this, however steadily bytes arrive. Zero: no limit.
  std::chrono::milliseconds totalTimeout{5 * 60'000};
  // The download fails as soon as the body would grow past this many bytes,
  // counted after any Content-Encoding is undone, so a small compressed
  // body that unpacks to gigabytes stops here too. Zero: no limit.
  std::uint64_t maxBytes = std::uint64_t{1} << 30;
  // Longest wait for a connection to one address, name lookup included.
  std::chrono::milliseconds connectTimeout{30'000};
  // The download fails when no byte arrives for this long (whole seconds,
  // at least 1). The speed is averaged over the last few seconds, so after
  // a burst of bytes a stall is noticed a few seconds later than this.
  std::chrono::seconds stallTimeout{60};
  // Called on the downloading thread after each piece of the body has been
  // written, with the bytes written so far and the size the server
  // announced (std::nullopt when it announced none; of the encoded body
  // when the server compressed it). Optional. It must return quickly; an
  // exception thrown by it cancels the download.
  std::function<void(std::uint64_t received, std::optional<std::uint64_t> total)> onProgress;
  // When set and it turns true, the download stops within about a second
  // and fails as cancelled. Optional; not owned, and must outlive the call.
  const std::atomic<bool>* cancel = nullptr;
};

struct HttpResult {
  long httpStatus = 0;  // the last response's status; 0 when none came
  std::uint64_t bytesWritten = 0;
  // Why the download failed, for the URL: HttpStatus (the server answered
  // with status 400 or higher), Cancelled (options.cancel turned true, or
  // onProgress threw), LimitReached (options.totalTimeout or
  // options.maxBytes was hit), the kind of the system's error number when
  // writing to the file failed (mostly WriteFailed), or Download for
  // anything else: bad address or scheme, no connection, TLS, the connect
  // or stall time-out, too many redirects, a broken transfer.
  std::optional<Failure> failure;

  bool ok() const noexcept { return !failure; }
};

// Fetches `url` (used exactly as given) and writes the body of the final
// response byte for byte to `file` from its current position; `file` stays
// open and owned by the caller, and on failure may hold part of the body.
// Every content encoding the HTTP library can undo (gzip, deflate, ...) is
// asked for and undone, so the file holds the page itself. Only http and
// https are used, also after a redirect; up to 10 redirects are followed;
// TLS certificates and host names are verified; a status of 400 or higher
// is a failure and its body is not written. The request names mailsift and
// its version as the user agent. Blocks until done. Thread-safe:
// several downloads may run at once on different threads (with different
// files). Never throws except std::bad_alloc.
[[nodiscard]] HttpResult downloadToFile(const std::string& url, std::FILE* file, const HttpOptions& options = {});

namespace detail {
// "5 minutes", "30 seconds", "1500 ms": a time limit as people set it, for
// the failures of every HTTP layer.
std::string durationText(std::chrono::milliseconds limit);
// "1 GiB", "512 KiB", "1000 bytes": a size limit as people set it.
std::string sizeText(std::uint64_t bytes);
}  // namespace detail

}  // namespace mailsift::platform
