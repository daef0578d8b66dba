// Values of the options both commands take.
#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

#include "sources/content_scan.h"

namespace mailsift::cli {

// Reads the value of --decode ("auto" or "none", in any case) into `mode`;
// on a bad value prints why and returns false.
[[nodiscard]] bool parseDecodeMode(std::string_view value, DecodeMode& mode);

// Reads the value of --max-download-time, whole seconds (0: no limit), into
// `limit`; on a bad value prints why and returns false.
[[nodiscard]] bool parseDownloadTime(std::string_view value, std::chrono::milliseconds& limit);

// Reads the value of --max-download-size, bytes with an optional K, M or G
// (times 1024, 1024² or 1024³, in either letter case; 0: no limit), into
// `limit`; on a bad value prints why and returns false.
[[nodiscard]] bool parseDownloadSize(std::string_view value, std::uint64_t& limit);

}  // namespace mailsift::cli
