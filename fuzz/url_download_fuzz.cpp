// The choice and the claiming of a download's file name, and the URL
// scan's handling of the typed answer, on any URL: downloadUrl in every mode
// into a folder (the name comes from the URL) or onto a file, and
// fetchUrlForScan into the temporary folder, with some of the names in the
// way already. The HTTP layer is replaced by a stand-in that writes a fixed
// body or fails, so nothing goes to the network. Checked: the saved file
// lies directly in the destination folder under the first free numbered
// name, with no NUL in its path, and holds the body; a failed or refused
// download changes nothing; the URL reaches the HTTP layer exactly as given.
//
// Input: byte 0 picks the function (bit 0), a failing download (bit 1) and
// which of the first four numbered names exist (bits 2 to 5); byte 1 picks
// the mode (bits 0 to 2) and the destination (bits 3 to 5); the rest is the
// URL.
#include <unistd.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "platform/http_download.h"
#include "platform/input_file.h"
#include "sources/url_download.h"
#include "sources/url_scan.h"

namespace {

constexpr std::string_view kBody = "<p>mail (at) example.com</p>";
constexpr std::string_view kOldContent = "old";
constexpr std::size_t kLongestName = 255;  // NAME_MAX of the usual file systems

struct HttpStandIn {
  bool fails = false;
  std::vector<std::string> urls;  // every URL asked for
};
HttpStandIn g_http;

}  // namespace

// The HTTP layer of this program: only the fuzz target's definition is
// linked, since nothing else of the real one is needed.
namespace mailsift::platform {
HttpResult downloadToFile(const std::string& url, std::FILE* file, const HttpOptions& /*options*/) {
  g_http.urls.push_back(url);
  HttpResult result;
  if (g_http.fails) {
    result.failure = failureOf(FailureKind::Download, url);
    return result;
  }
  result.httpStatus = 200;
  result.bytesWritten = std::fwrite(kBody.data(), 1, kBody.size(), file);
  return result;
}
}  // namespace mailsift::platform

namespace mailsift {
namespace {

struct Folders {
  std::string root;         // private to this process
  std::string destination;  // root/d
  std::string temporary;    // root/t, the temporary folder of URL scans
};

const Folders& folders() {
  // Never destroyed: the clean-up at exit still needs it.
  static const Folders& made = *[] {
    const char* base = std::getenv("TMPDIR");
    std::string root = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/url_download_fuzz.XXXXXX";
    if (::mkdtemp(root.data()) == nullptr) std::abort();
    std::filesystem::create_directory(root + "/d");
    std::filesystem::create_directory(root + "/t");
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(folders().root, ignored);
    });
    return new Folders{root, root + "/d", root + "/t"};
  }();
  return made;
}

using Listing = std::map<std::string, std::string>;  // name to content ("/" for a folder)

Listing list(const std::string& folder) {
  Listing names;
  for (const auto& item : std::filesystem::directory_iterator(folder)) {
    std::string content = "/";
    if (!item.is_directory()) {
      std::ifstream in(item.path(), std::ios::binary);
      content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    names.emplace(item.path().filename().string(), content);
  }
  return names;
}

void empty(const std::string& folder) {
  for (const auto& item : std::filesystem::directory_iterator(folder)) std::filesystem::remove_all(item.path());
}

// A name a file can have: not empty, no "/" and no NUL, not "." or "..",
// and short enough.
bool isFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.size() <= kLongestName &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

// Names that are folders in every folder.
bool isFolderName(std::string_view name) { return name.empty() || name == "." || name == ".."; }

// The k-th name tried for `name`: "a.b", "a (2).b", "a (3).b", ...
std::string numbered(std::string_view name, int k) {
  const std::size_t dot = name.rfind('.');
  const std::string_view base = dot == std::string_view::npos ? name : name.substr(0, dot);
  const std::string_view extension = dot == std::string_view::npos ? std::string_view() : name.substr(dot);
  std::string result(base);
  if (k > 1) result.append(" (").append(std::to_string(k)).append(")");
  return result.append(extension);
}

void putInTheWay(const std::string& folder, std::string_view name, unsigned mask) {
  for (int k = 1; k <= 4; ++k) {
    const std::string taken = numbered(name, k);
    if ((mask >> (k - 1) & 1u) != 0 && isFileName(taken)) std::ofstream(folder + "/" + taken) << kOldContent;
  }
}

bool isTaken(const Listing& before, const std::string& name) { return isFolderName(name) || before.count(name) > 0; }

// A download saved `name` in `folder`: the folder holds what it held before
// and that file with the body.
void checkSavedAs(const std::string& folder, const Listing& before, const std::string& name) {
  Listing expected = before;
  expected[name] = std::string(kBody);
  FUZZ_FAIL_IF(list(folder) != expected);
}

void checkDownloadUrl(const std::string& url, std::uint8_t choice, unsigned mask) {
  static constexpr std::int32_t kModes[] = {0, 1, 2, 3, 4, -1, INT_MAX, INT_MIN};
  static constexpr const char* kFileNames[] = {"kelvaro.tmp", "noext", "a.b.c", ".hidden", "trailing.", "x (2).txt"};
  const auto mode = static_cast<DownloadMode>(kModes[choice & 7]);
  const unsigned where = (choice >> 3) & 7;
  const std::string& folder = folders().destination;
  const bool intoFolder = where < 2;
  const std::size_t slash = url.rfind('/');
  const std::string name = intoFolder ? (slash == std::string::npos ? std::string() : url.substr(slash + 1))
                                      : std::string(kFileNames[where - 2]);
  putInTheWay(folder, name, mask);
  const Listing before = list(folder);

  const std::string destination = intoFolder ? folder + (where == 1 ? "/" : "") : folder + "/" + name;
  const URLDownloadResult result = downloadUrl(url, destination, mode);

  // Whatever happened: a saved file is what it claims, in the folder.
  if (result.saved()) {
    FUZZ_FAIL_IF(result.error || result.failure || result.httpStatus != 200);
    FUZZ_FAIL_IF(result.savedPath.rfind(folder + "/", 0) != 0);
    const std::string saved = result.savedPath.substr(folder.size() + 1);
    FUZZ_FAIL_IF(!isFileName(saved));
    checkSavedAs(folder, before, saved);
  } else {
    FUZZ_FAIL_IF(list(folder) != before);
  }
  FUZZ_FAIL_IF(!result.saved() && !result.error && !result.failure && mode != DownloadMode::SkipExisting);

  if (intoFolder && slash == std::string::npos) {
    FUZZ_FAIL_IF(!result.error || result.error->number != kErrNoNameInUrl || !g_http.urls.empty());
    FUZZ_FAIL_IF(result.error->source != kURLDownloadErrorSource);
    return;
  }
  FUZZ_FAIL_IF(!g_http.urls.empty() && (g_http.urls.size() != 1 || g_http.urls[0] != url));
  FUZZ_FAIL_IF(g_http.fails && (result.saved() || (!g_http.urls.empty() && !result.failure)));
  if (g_http.fails) return;

  switch (mode) {
    case DownloadMode::NumberedName: {
      int k = 1;
      while (isTaken(before, numbered(name, k))) ++k;
      const std::string expected = numbered(name, k);
      FUZZ_FAIL_IF(isFileName(expected) != result.saved());
      FUZZ_FAIL_IF(result.saved() && result.savedPath != folder + "/" + expected);
      break;
    }
    case DownloadMode::SkipExisting:
    case DownloadMode::RefuseExisting:
      if (isTaken(before, name)) {
        FUZZ_FAIL_IF(result.saved() || result.failure || !g_http.urls.empty());
        FUZZ_FAIL_IF((mode == DownloadMode::RefuseExisting) != result.error.has_value());
        FUZZ_FAIL_IF(result.error && result.error->number != kErrTargetExists);
      } else {
        FUZZ_FAIL_IF(isFileName(name) != result.saved());
      }
      break;
    default:
      // The new file beside the target has a longer name: only names with
      // room for that must succeed.
      FUZZ_FAIL_IF(isFileName(name) && name.size() + 20 <= kLongestName && !result.saved());
      FUZZ_FAIL_IF(isFolderName(name) && result.saved());
      FUZZ_FAIL_IF(result.saved() && result.savedPath != folder + "/" + name);
      break;
  }
}

void checkFetchForScan(const std::string& answer, std::uint8_t choice, unsigned mask) {
  const std::string& folder = folders().temporary;
  putInTheWay(folder, "kelvaro.tmp", mask);
  const Listing before = list(folder);
  int reads = 0;
  const bool readFails = (choice & 1) != 0;
  const UrlScanSource source =
      fetchUrlForScan(answer, [&](platform::InputFile& page) -> std::optional<platform::Failure> {
        ++reads;
        std::string content;
        char buffer[7];
        for (platform::ReadOutcome got; (got = page.read(buffer, sizeof buffer)).bytes > 0;)
          content.append(buffer, got.bytes);
        FUZZ_FAIL_IF(content != kBody);
        if (readFails) return platform::failureOf(platform::FailureKind::ReadFailed, page.name());
        return std::nullopt;
      });
  // Nothing is left behind, and nothing that was there is touched.
  FUZZ_FAIL_IF(list(folder) != before);
  if (answer.find_first_not_of(' ') == std::string::npos) {
    FUZZ_FAIL_IF(!g_http.urls.empty() || reads != 0 || source.fetched || source.failure || source.httpStatus != 0);
    return;
  }
  FUZZ_FAIL_IF(g_http.urls.size() != 1 || g_http.urls[0] != answer);
  if (g_http.fails) {
    FUZZ_FAIL_IF(reads != 0 || source.fetched || !source.failure);
  } else {
    FUZZ_FAIL_IF(reads != 1 || !source.fetched || source.httpStatus != 200 || readFails != source.failure.has_value());
  }
  FUZZ_FAIL_IF(source.failure && source.failure->target != answer);
}

}  // namespace
}  // namespace mailsift

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  // Before the first URL scan, which fixes the temporary folder for good.
  ::setenv("TEMP", mailsift::folders().temporary.c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace mailsift;
  if (size < 2) return 0;
  const std::string url(reinterpret_cast<const char*>(data) + 2, size - 2);
  g_http = HttpStandIn{(data[0] & 2) != 0, {}};
  const unsigned mask = (data[0] >> 2) & 15u;
  if ((data[0] & 1) == 0) {
    checkDownloadUrl(url, data[1], mask);
  } else {
    checkFetchForScan(url, data[1], mask);
  }
  // Nothing lands beside the two folders, whatever ".." the URL holds.
  FUZZ_FAIL_IF(list(folders().root).size() != 2);
  empty(folders().destination);
  empty(folders().temporary);
  return 0;
}
