// The words for the limits of a download, shared by every HTTP layer.
#include <iterator>

#include "platform/http_download.h"

namespace mailsift::platform::detail {

std::string durationText(std::chrono::milliseconds limit) {
  const auto ms = limit.count();
  const auto plural = [](long long count, const char* unit) {
    return std::to_string(count) + " " + unit + (count == 1 ? "" : "s");
  };
  if (ms % 60'000 == 0) return plural(ms / 60'000, "minute");
  if (ms % 1000 == 0) return plural(ms / 1000, "second");
  return std::to_string(ms) + " ms";
}

std::string sizeText(std::uint64_t bytes) {
  constexpr const char* kUnits[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
  std::size_t unit = 0;
  while (unit + 1 < std::size(kUnits) && bytes != 0 && bytes % 1024 == 0) {
    bytes /= 1024;
    ++unit;
  }
  return std::to_string(bytes) + " " + kUnits[unit];
}

}  // namespace mailsift::platform::detail
