// Downloads on Windows through urlmon, the system's own HTTP client: no
// library to ship, and the user's proxy and certificate settings apply.
// URLDownloadToFileW fills a file by name and blocks, with no time-outs of
// its own and no callback while the server sends nothing, so it runs on a
// thread of its own into a temporary file, which the calling thread watches
// and, once the transfer is complete, copies into the caller's file.
#include <urlmon.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "mailsift/version.h"
#include "platform/http_download.h"
#include "platform/win32/win32_text.h"

namespace mailsift::platform {
namespace {

using detail::durationText;
using detail::sizeText;

constexpr int kMaxRedirects = 10;
// How often the calling thread looks at a running transfer: the delay of a
// cancel, and the steps in which progress is reported.
constexpr std::chrono::milliseconds kWatchInterval{100};

using Clock = std::chrono::steady_clock;

// Why the calling thread stopped waiting, or why the callback aborted.
enum class Stop : unsigned char { None, Cancelled, TooLarge, BadRedirect, TooManyRedirects };

// What the transfer thread and the calling thread share. The transfer
// thread may outlive the call (a stalled server is only given up on), so
// this lives as long as either holds it.
struct Shared {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  bool abandoned = false;  // the caller left: the transfer thread cleans up
  HRESULT result = S_OK;
  long httpStatus = 0;
  std::uint64_t received = 0;
  std::optional<std::uint64_t> announced;
  bool connected = false;  // the request went out
  Clock::time_point lastActivity = Clock::now();
  Stop stop = Stop::None;  // set by the caller or the callback; aborts at the next callback
  int redirects = 0;
  std::uint64_t maxBytes = 0;
  std::wstring temporaryPath;
};

bool isHttpUrl(std::wstring_view url) {
  const auto startsWith = [&](std::wstring_view prefix) {
    if (url.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
      if (std::towlower(url[i]) != prefix[i]) return false;
    }
    return true;
  };
  return startsWith(L"http://") || startsWith(L"https://");
}

// The callback urlmon reports to. Besides the progress it hears the HTTP
// status (IHttpNegotiate) and every redirect, which it holds to http and
// https and to kMaxRedirects. Aborting goes through IBinding::Abort as well
// as the E_ABORT answer, since not every urlmon heeds the answer.
// COM interfaces have no virtual destructor by design: objects are
// released through their interfaces, never deleted through them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class Callback final : public IBindStatusCallback, public IHttpNegotiate {
 public:
  explicit Callback(std::shared_ptr<Shared> shared) : m_shared(std::move(shared)) {}
  Callback(const Callback&) = delete;
  Callback& operator=(const Callback&) = delete;

  STDMETHODIMP QueryInterface(REFIID id, void** object) override {
    if (id == IID_IUnknown || id == IID_IBindStatusCallback) {
      *object = static_cast<IBindStatusCallback*>(this);
    } else if (id == IID_IHttpNegotiate) {
      *object = static_cast<IHttpNegotiate*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  // Owned by the transfer thread's stack frame, which outlives the binding.
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  STDMETHODIMP OnStartBinding(DWORD /*reserved*/, IBinding* binding) override {
    if (binding != nullptr) {
      binding->AddRef();
      m_binding = binding;
    }
    return S_OK;
  }
  STDMETHODIMP GetPriority(LONG* /*priority*/) override { return E_NOTIMPL; }
  STDMETHODIMP OnLowResource(DWORD /*reserved*/) override { return S_OK; }

  STDMETHODIMP OnProgress(ULONG progress, ULONG progressMax, ULONG status, LPCWSTR text) override {
    const std::lock_guard lock(m_shared->mutex);
    Shared& shared = *m_shared;
    shared.lastActivity = Clock::now();
    if (status == BINDSTATUS_REDIRECTING) {
      if (++shared.redirects > kMaxRedirects) {
        shared.stop = Stop::TooManyRedirects;
      } else if (text == nullptr || !isHttpUrl(text)) {
        shared.stop = Stop::BadRedirect;
      }
    }
    if (status == BINDSTATUS_SENDINGREQUEST || status == BINDSTATUS_BEGINDOWNLOADDATA ||
        status == BINDSTATUS_DOWNLOADINGDATA || status == BINDSTATUS_ENDDOWNLOADDATA) {
      shared.connected = true;
    }
    if (status == BINDSTATUS_BEGINDOWNLOADDATA || status == BINDSTATUS_DOWNLOADINGDATA ||
        status == BINDSTATUS_ENDDOWNLOADDATA) {
      // Counted after urlmon has undone any content encoding.
      shared.received = progress;
      if (progressMax != 0) shared.announced = progressMax;
      const std::uint64_t limit = shared.maxBytes;
      if (limit != 0 && (shared.received > limit || (shared.announced && *shared.announced > limit))) {
        shared.stop = Stop::TooLarge;
      }
    }
    if (shared.stop == Stop::None && !shared.abandoned) return S_OK;
    if (m_binding != nullptr) m_binding->Abort();
    return E_ABORT;
  }

  STDMETHODIMP OnStopBinding(HRESULT /*result*/, LPCWSTR /*error*/) override {
    if (m_binding != nullptr) {
      m_binding->Release();
      m_binding = nullptr;
    }
    return S_OK;
  }
  STDMETHODIMP GetBindInfo(DWORD* flags, BINDINFO* info) override {
    *flags = BINDF_GETNEWESTVERSION | BINDF_NOWRITECACHE | BINDF_PRAGMA_NO_CACHE | BINDF_NO_UI | BINDF_SILENTOPERATION;
    if (info != nullptr) {
      const DWORD size = info->cbSize;
      std::memset(info, 0, size);
      info->cbSize = size;
      info->dwBindVerb = BINDVERB_GET;
    }
    return S_OK;
  }
  STDMETHODIMP OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return S_OK; }
  STDMETHODIMP OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

  STDMETHODIMP BeginningTransaction(LPCWSTR, LPCWSTR, DWORD, LPWSTR* additional) override {
    if (additional != nullptr) *additional = nullptr;
    return S_OK;
  }
  STDMETHODIMP OnResponse(DWORD status, LPCWSTR, LPCWSTR, LPWSTR* additional) override {
    if (additional != nullptr) *additional = nullptr;
    const std::lock_guard lock(m_shared->mutex);
    m_shared->httpStatus = static_cast<long>(status);
    m_shared->connected = true;
    m_shared->lastActivity = Clock::now();
    return S_OK;
  }

 private:
  std::shared_ptr<Shared> m_shared;
  IBinding* m_binding = nullptr;
};
#pragma GCC diagnostic pop

// The body of the transfer thread: the download into the temporary file,
// then either the news for the caller or, when it has left, the cleanup.
void transfer(const std::shared_ptr<Shared>& shared, const std::wstring& url) {
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  Callback callback(shared);
  const HRESULT result = ::URLDownloadToFileW(nullptr, url.c_str(), shared->temporaryPath.c_str(), 0, &callback);
  if (SUCCEEDED(com)) ::CoUninitialize();
  const std::lock_guard lock(shared->mutex);
  if (shared->abandoned) {
    ::DeleteFileW(shared->temporaryPath.c_str());
    return;
  }
  shared->result = result;
  shared->done = true;
  shared->finished.notify_all();
}

// The user agent is a setting of the process's urlmon session.
void setUserAgent() {
  static std::once_flag once;
  std::call_once(once, [] {
    char agent[] = "mailsift/" MAILSIFT_VERSION;
    ::UrlMkSetSessionOption(URLMON_OPTION_USERAGENT, agent, static_cast<DWORD>(std::strlen(agent)), 0);
  });
}

std::string resultText(HRESULT result) {
  switch (result) {
    case INET_E_INVALID_URL:
      return "invalid address";
    case INET_E_UNKNOWN_PROTOCOL:
      return "unsupported scheme";
    case INET_E_RESOURCE_NOT_FOUND:
      return "the server or proxy was not found";
    case INET_E_CANNOT_CONNECT:
      return "cannot connect to the server";
    case INET_E_CONNECTION_TIMEOUT:
      return "the connection timed out";
    case INET_E_SECURITY_PROBLEM:
      return "the secure connection failed";
    case INET_E_REDIRECT_FAILED:
    case INET_E_REDIRECT_TO_DIR:
      return "the redirect failed";
    case INET_E_DOWNLOAD_FAILURE:
    case INET_E_DATA_NOT_AVAILABLE:
      return "the transfer broke off";
    default: {
      char code[16];
      std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
      return std::string("download failed (") + code + ")";
    }
  }
}

bool isCancelRequested(const HttpOptions& options) {
  return options.cancel != nullptr && options.cancel->load(std::memory_order_relaxed);
}

Failure cancelled(const std::string& url) { return Failure{FailureKind::Cancelled, 0, url, "download cancelled"}; }

// Appends the temporary file to `file`, holding it to the size limit and
// reporting each piece written; a cancel stops it between pieces.
// The size reported as the total is the announced one, or where urlmon did
// not pass it on, the size of the whole body, known by now. Progress goes on
// from `reported`, what the transfer reported already, so it never goes back.
std::optional<Failure> copyInto(const std::wstring& temporaryPath, std::FILE* file, const HttpOptions& options,
                                std::optional<std::uint64_t> total, std::uint64_t reported, const std::string& url,
                                std::uint64_t& written) {
  const std::uint64_t maxBytes = options.maxBytes;
  const HANDLE source = ::CreateFileW(temporaryPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (source == INVALID_HANDLE_VALUE) {
    return asStepOf(win32::failureFromWin32(::GetLastError(), url, FailureKind::Download), url,
                    "cannot read the download");
  }
  if (LARGE_INTEGER size{}; !total && ::GetFileSizeEx(source, &size)) total = static_cast<std::uint64_t>(size.QuadPart);
  std::optional<Failure> failure;
  static constexpr DWORD kChunk = 1 << 16;
  const auto buffer = std::make_unique<char[]>(kChunk);
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(source, buffer.get(), kChunk, &got, nullptr)) {
      failure = asStepOf(win32::failureFromWin32(::GetLastError(), url, FailureKind::Download), url,
                         "cannot read the download");
      break;
    }
    if (got == 0) break;
    if (maxBytes != 0 && got > maxBytes - written) {
      failure = Failure{FailureKind::LimitReached, 0, url, "larger than the size limit of " + sizeText(maxBytes)};
      break;
    }
    errno = 0;
    if (std::fwrite(buffer.get(), 1, got, file) != got) {
      failure = asStepOf(failureFromSystemError(errno != 0 ? errno : EIO, url, FailureKind::WriteFailed), url,
                         "cannot write the download");
      break;
    }
    written += got;
    if (options.onProgress && written > reported) {
      try {
        options.onProgress(written, total);
      } catch (...) {
        failure = cancelled(url);
        break;
      }
    }
    if (isCancelRequested(options)) {
      failure = cancelled(url);
      break;
    }
  }
  ::CloseHandle(source);
  return failure;
}

// A fresh, empty file in the temporary folder for the transfer, or "".
std::wstring newTemporaryFile() {
  wchar_t folder[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return std::wstring();
  wchar_t name[MAX_PATH + 1] = {};
  if (::GetTempFileNameW(folder, L"msd", 0, name) == 0) return std::wstring();
  return name;
}

}  // namespace

HttpResult downloadToFile(const std::string& url, std::FILE* file, const HttpOptions& options) {
  HttpResult result;
  const auto fail = [&](FailureKind kind, std::string message) {
    result.failure = Failure{kind, 0, url, std::move(message)};
    return result;
  };
  const std::wstring wideUrl = win32::wide(url);
  // urlmon would also fetch file:, ftp: and the rest.
  if (!isHttpUrl(wideUrl)) return fail(FailureKind::Download, "unsupported scheme: only http and https are fetched");
  if (isCancelRequested(options)) {
    result.failure = cancelled(url);
    return result;
  }
  setUserAgent();

  auto shared = std::make_shared<Shared>();
  shared->maxBytes = options.maxBytes;
  shared->temporaryPath = newTemporaryFile();
  if (shared->temporaryPath.empty()) {
    return fail(FailureKind::WriteFailed, "cannot create a temporary file: " + win32::systemMessage(::GetLastError()));
  }
  std::thread worker;
  try {
    worker = std::thread([shared, wideUrl] { transfer(shared, wideUrl); });
  } catch (const std::system_error&) {
    ::DeleteFileW(shared->temporaryPath.c_str());
    return fail(FailureKind::Download, "cannot start a download");
  }

  // Watch the transfer: cancel, time limits, progress.
  const Clock::time_point started = Clock::now();
  const auto stall = std::max(options.stallTimeout, std::chrono::seconds(1));
  std::optional<Failure> stopped;
  std::uint64_t reported = 0;
  std::unique_lock lock(shared->mutex);
  while (!shared->done) {
    shared->finished.wait_for(lock, kWatchInterval);
    if (shared->done) break;
    const Clock::time_point now = Clock::now();
    if (isCancelRequested(options)) {
      stopped = cancelled(url);
    } else if (options.totalTimeout.count() > 0 && now - started >= options.totalTimeout) {
      stopped = Failure{FailureKind::LimitReached, 0, url,
                        "took longer than the time limit of " + durationText(options.totalTimeout)};
    } else if (!shared->connected && now - started >= options.connectTimeout) {
      stopped = Failure{FailureKind::Download, 0, url, "no connection within " + durationText(options.connectTimeout)};
    } else if (shared->connected && now - shared->lastActivity >= stall) {
      stopped = Failure{FailureKind::Download, 0, url,
                        "no data for " + durationText(std::chrono::duration_cast<std::chrono::milliseconds>(stall))};
    } else if (options.onProgress && shared->received > reported) {
      reported = shared->received;
      const std::optional<std::uint64_t> total = shared->announced;
      lock.unlock();
      try {
        options.onProgress(reported, total);
      } catch (...) {
        stopped = cancelled(url);
      }
      lock.lock();
    }
    if (stopped) {
      // The transfer thread may be waiting for a server that sends nothing:
      // it is left to end on its own, aborted at its next callback, and
      // removes the temporary file then.
      shared->stop = Stop::Cancelled;
      shared->abandoned = true;
      result.httpStatus = shared->httpStatus;
      lock.unlock();
      worker.detach();
      result.failure = std::move(stopped);
      return result;
    }
  }
  const HRESULT outcome = shared->result;
  const Stop stop = shared->stop;
  const std::optional<std::uint64_t> announced = shared->announced;
  result.httpStatus = shared->httpStatus;
  lock.unlock();
  worker.join();

  const auto removeTemporary = [&] { ::DeleteFileW(shared->temporaryPath.c_str()); };
  if (stop == Stop::TooLarge) {
    removeTemporary();
    return fail(FailureKind::LimitReached, "larger than the size limit of " + sizeText(options.maxBytes));
  }
  if (stop == Stop::TooManyRedirects) {
    removeTemporary();
    return fail(FailureKind::Download, "more than " + std::to_string(kMaxRedirects) + " redirects");
  }
  if (stop == Stop::BadRedirect) {
    removeTemporary();
    return fail(FailureKind::Download, "redirected to a scheme other than http or https");
  }
  if (result.httpStatus >= 400) {
    removeTemporary();
    return fail(FailureKind::HttpStatus, "the server answered with status " + std::to_string(result.httpStatus));
  }
  if (FAILED(outcome)) {
    removeTemporary();
    return fail(FailureKind::Download, resultText(outcome));
  }
  // urlmon follows redirects among http and https by itself; one it did not
  // follow (to ftp: or file:) leaves the redirect's own body.
  if (result.httpStatus >= 300 && result.httpStatus < 400) {
    removeTemporary();
    return fail(FailureKind::Download, "a redirect that was not followed (status " + std::to_string(result.httpStatus) +
                                           "): only http and https are fetched");
  }
  result.failure = copyInto(shared->temporaryPath, file, options, announced, reported, url, result.bytesWritten);
  removeTemporary();
  return result;
}

}  // namespace mailsift::platform
