// Values of the options both commands take.
#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

#include "cli/output.h"
#include "scanner/scan_rules.h"
#include "sources/content_scan.h"

namespace mailsift::cli {

// True when `a` and `b` are equal but for the case of ASCII letters.
bool equalsNoCase(std::string_view a, std::string_view b) noexcept;

// Reads the value of --jobs, a number of threads from 1 to 1024, into
// `jobs`; on a bad value prints why and returns false.
[[nodiscard]] bool parseJobs(std::string_view value, unsigned& jobs);

// Reads the value of --rules ("specified" or "extended", in any case) into
// `rules`; on a bad value prints why and returns false.
[[nodiscard]] bool parseRules(std::string_view value, ScanRules& rules);

// Checks the value of --encoding: "cp1252" or its other name
// "windows-1252", in any case, the one encoding there is; on another prints
// why and returns false.
[[nodiscard]] bool parseEncoding(std::string_view value);

// Reads the value of --format ("lines" or "jsonl", in any case) into
// `format`; on a bad value prints why and returns false.
[[nodiscard]] bool parseFormat(std::string_view value, OutputFormat& format);

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
