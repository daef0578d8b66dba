// Downloads through libcurl, loaded when the first download starts: linking
// it would load some thirty libraries at every start of the program (about
// 15 ms here), though most runs never download anything.
#include "platform/http_download.h"

#include <curl/curl.h>
#include <dlfcn.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>
#include <utility>

#include "mailsift/version.h"

namespace mailsift::platform {
namespace {

using detail::durationText;
using detail::sizeText;

constexpr long kMaxRedirects = 10;
constexpr long kStallBytesPerSecond = 1;
constexpr std::chrono::milliseconds kClockSlack{50};
constexpr const char* kUserAgent = "mailsift/" MAILSIFT_VERSION;
constexpr const char* kAllowedSchemes = "http,https";

constexpr const char* kLibraryName = "libcurl.so.4";

// The libcurl calls used here, found in the library once it is loaded.
struct Curl {
  decltype(&curl_global_init) globalInit = nullptr;
  decltype(&curl_easy_init) easyInit = nullptr;
  decltype(&curl_easy_cleanup) easyCleanup = nullptr;
  decltype(&curl_easy_setopt) easySetopt = nullptr;
  decltype(&curl_easy_getinfo) easyGetinfo = nullptr;
  decltype(&curl_easy_perform) easyPerform = nullptr;
  decltype(&curl_easy_strerror) easyStrerror = nullptr;
};

template <typename Function>
bool bind(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  return function != nullptr;
}

// Loads libcurl and runs curl_global_init once for the process (it is not
// thread-safe and must run before any handle is made). The library stays
// loaded. On failure every download fails with the text kept here.
const Curl* loadCurl(std::string& failure) {
  static std::once_flag once;
  static Curl curl;
  static std::string loadFailure;
  std::call_once(once, [] {
    void* library = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
      const char* reason = dlerror();
      loadFailure = std::string("cannot load ") + kLibraryName + (reason != nullptr ? std::string(": ") + reason : "");
      return;
    }
    const bool bound =
        bind(library, "curl_global_init", curl.globalInit) && bind(library, "curl_easy_init", curl.easyInit) &&
        bind(library, "curl_easy_cleanup", curl.easyCleanup) && bind(library, "curl_easy_setopt", curl.easySetopt) &&
        bind(library, "curl_easy_getinfo", curl.easyGetinfo) && bind(library, "curl_easy_perform", curl.easyPerform) &&
        bind(library, "curl_easy_strerror", curl.easyStrerror);
    if (!bound) {
      loadFailure = std::string(kLibraryName) + " lacks a call this program needs";
      return;
    }
    if (const CURLcode code = curl.globalInit(CURL_GLOBAL_DEFAULT); code != CURLE_OK) {
      loadFailure = curl.easyStrerror(code);
    }
  });
  failure = loadFailure;
  return loadFailure.empty() ? &curl : nullptr;
}

struct HandleDeleter {
  const Curl* curl = nullptr;
  void operator()(CURL* handle) const noexcept { curl->easyCleanup(handle); }
};
using Handle = std::unique_ptr<CURL, HandleDeleter>;

// What the callbacks share with downloadToFile for one transfer.
struct Transfer {
  const Curl* curl = nullptr;
  CURL* handle = nullptr;
  std::FILE* file = nullptr;
  const HttpOptions* options = nullptr;
  std::uint64_t written = 0;
  int writeError = 0;  // errno of a failed write, 0 otherwise
  bool cancelled = false;
  bool tooLarge = false;  // the body would have grown past options->maxBytes
};

bool isCancelRequested(const Transfer& transfer) {
  return transfer.options->cancel != nullptr && transfer.options->cancel->load(std::memory_order_relaxed);
}

// Returning anything but `size` makes libcurl stop with CURLE_WRITE_ERROR;
// `transfer` records whether that was a cancel or a real write failure.
std::size_t writeBody(char* data, std::size_t one, std::size_t size, void* user) noexcept {
  auto& transfer = *static_cast<Transfer*>(user);
  (void)one;  // always 1 for the body
  if (isCancelRequested(transfer)) {
    transfer.cancelled = true;
    return 0;
  }
  // These are the decoded bytes, so a compressed body is held to the limit
  // by what it unpacks to, not by what it weighs on the wire.
  const std::uint64_t limit = transfer.options->maxBytes;
  if (limit != 0 && size > limit - transfer.written) {
    transfer.tooLarge = true;
    return 0;
  }
  errno = 0;
  if (std::fwrite(data, 1, size, transfer.file) != size) {
    transfer.writeError = errno != 0 ? errno : EIO;
    return 0;
  }
  transfer.written += size;
  if (transfer.options->onProgress) {
    curl_off_t announced = -1;
    std::optional<std::uint64_t> total;
    if (transfer.curl->easyGetinfo(transfer.handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced) == CURLE_OK &&
        announced >= 0) {
      total = static_cast<std::uint64_t>(announced);
    }
    try {
      transfer.options->onProgress(transfer.written, total);
    } catch (...) {
      transfer.cancelled = true;
      return 0;
    }
  }
  return size;
}

// Called by libcurl about once a second even while no byte arrives, so a
// cancel is seen during a stall too. A body announced larger than the limit
// is refused here as soon as its length is known: libcurl's own check of
// the announced length waits for the end of the transfer when content
// encodings are asked for.
int checkProgress(void* user, curl_off_t announced, curl_off_t, curl_off_t, curl_off_t) noexcept {
  auto& transfer = *static_cast<Transfer*>(user);
  if (isCancelRequested(transfer)) {
    transfer.cancelled = true;
    return 1;
  }
  const std::uint64_t limit = transfer.options->maxBytes;
  if (limit != 0 && announced > 0 && static_cast<std::uint64_t>(announced) > limit) {
    transfer.tooLarge = true;
    return 1;
  }
  return 0;
}

// Sets every option, stopping at the first one libcurl refuses.
CURLcode configure(CURL* handle, const std::string& url, Transfer& transfer, char* errorBuffer) {
  const HttpOptions& options = *transfer.options;
  const long connectMs = static_cast<long>(options.connectTimeout.count());
  const long stallSeconds = options.stallTimeout.count() < 1 ? 1L : static_cast<long>(options.stallTimeout.count());
  const long totalMs = options.totalTimeout.count() <= 0
                           ? 0L
                           : static_cast<long>(std::min<std::int64_t>(options.totalTimeout.count(), LONG_MAX));
  CURLcode code = CURLE_OK;
  const auto set = [&](auto option, auto value) {
    if (code == CURLE_OK) code = transfer.curl->easySetopt(handle, option, value);
  };
  set(CURLOPT_ERRORBUFFER, errorBuffer);
  set(CURLOPT_URL, url.c_str());
  // Only http and https, also for every redirect target: "file:", "ftp:"
  // and the rest fail like any failed download.
#if LIBCURL_VERSION_NUM >= 0x075500
  set(CURLOPT_PROTOCOLS_STR, kAllowedSchemes);
  set(CURLOPT_REDIR_PROTOCOLS_STR, kAllowedSchemes);
#else
  (void)kAllowedSchemes;
  set(CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
  set(CURLOPT_REDIR_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
  set(CURLOPT_FOLLOWLOCATION, 1L);
  set(CURLOPT_MAXREDIRS, kMaxRedirects);
  set(CURLOPT_CONNECTTIMEOUT_MS, connectMs);
  set(CURLOPT_LOW_SPEED_LIMIT, kStallBytesPerSecond);
  set(CURLOPT_LOW_SPEED_TIME, stallSeconds);
  set(CURLOPT_TIMEOUT_MS, totalMs);
  // Refuses a body whose announced length is over the limit before any of
  // it is written, where this libcurl checks it early (checkProgress does
  // where it does not); writeBody holds every other body to the limit.
  if (options.maxBytes != 0) {
    set(CURLOPT_MAXFILESIZE_LARGE,
        static_cast<curl_off_t>(std::min<std::uint64_t>(options.maxBytes, std::uint64_t{INT64_MAX})));
  }
  // "" asks for every encoding this libcurl can undo, and has it undone.
  set(CURLOPT_ACCEPT_ENCODING, "");
  set(CURLOPT_USERAGENT, kUserAgent);
  set(CURLOPT_SSL_VERIFYPEER, 1L);
  set(CURLOPT_SSL_VERIFYHOST, 2L);
  set(CURLOPT_FAILONERROR, 1L);
  // No signals: downloads may run on any thread, several at once.
  set(CURLOPT_NOSIGNAL, 1L);
  set(CURLOPT_WRITEFUNCTION, &writeBody);
  set(CURLOPT_WRITEDATA, static_cast<void*>(&transfer));
  set(CURLOPT_XFERINFOFUNCTION, &checkProgress);
  set(CURLOPT_XFERINFODATA, static_cast<void*>(&transfer));
  set(CURLOPT_NOPROGRESS, 0L);
  return code;
}

Failure sizeLimitFailure(const std::string& url, std::uint64_t limit) {
  return Failure{FailureKind::LimitReached, 0, url, "larger than the size limit of " + sizeText(limit)};
}

HttpResult failedWith(FailureKind kind, const std::string& url, std::string message) {
  HttpResult result;
  result.failure = Failure{kind, 0, url, std::move(message)};
  return result;
}

}  // namespace

HttpResult downloadToFile(const std::string& url, std::FILE* file, const HttpOptions& options) {
  std::string loadFailure;
  const Curl* curl = loadCurl(loadFailure);
  if (curl == nullptr) return failedWith(FailureKind::Download, url, std::move(loadFailure));
  const Handle handle(curl->easyInit(), HandleDeleter{curl});
  if (!handle) return failedWith(FailureKind::Download, url, "cannot start a download");

  Transfer transfer;
  transfer.curl = curl;
  transfer.handle = handle.get();
  transfer.file = file;
  transfer.options = &options;
  char errorBuffer[CURL_ERROR_SIZE] = {};

  const auto started = std::chrono::steady_clock::now();
  CURLcode code = configure(handle.get(), url, transfer, errorBuffer);
  if (code == CURLE_OK) code = curl->easyPerform(handle.get());
  const auto took = std::chrono::steady_clock::now() - started;

  HttpResult result;
  result.bytesWritten = transfer.written;
  (void)curl->easyGetinfo(handle.get(), CURLINFO_RESPONSE_CODE, &result.httpStatus);
  if (code == CURLE_OK) return result;

  if (transfer.cancelled) {
    result.failure = Failure{FailureKind::Cancelled, 0, url, "download cancelled"};
  } else if (transfer.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
    result.failure = sizeLimitFailure(url, options.maxBytes);
  } else if (code == CURLE_OPERATION_TIMEDOUT && options.totalTimeout.count() > 0 &&
             took + kClockSlack >= options.totalTimeout) {
    // The connect and stall time-outs end with the same code, but sooner.
    // libcurl counts whole milliseconds from a start of its own, so it may
    // stop a hair before this clock says the limit has passed.
    result.failure = Failure{FailureKind::LimitReached, 0, url,
                             "took longer than the time limit of " + durationText(options.totalTimeout)};
  } else if (transfer.writeError != 0) {
    result.failure = asStepOf(failureFromSystemError(transfer.writeError, url, FailureKind::WriteFailed), url,
                              "cannot write the download");
  } else {
    const FailureKind kind = code == CURLE_HTTP_RETURNED_ERROR ? FailureKind::HttpStatus : FailureKind::Download;
    std::string message = errorBuffer[0] != '\0' ? std::string(errorBuffer) : std::string(curl->easyStrerror(code));
    // libcurl says no more than "Out of memory" when a header line outgrows
    // its buffer, which is by far the likelier cause here.
    if (code == CURLE_OUT_OF_MEMORY) message = "a response header is too long, or memory ran out";
    result.failure = Failure{kind, 0, url, std::move(message)};
  }
  return result;
}

}  // namespace mailsift::platform
