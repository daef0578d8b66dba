// Reading option values, with the messages for bad ones.
#include "cli/option_values.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <limits>
#include <string>

#include "app/display_text.h"
#include "cli/output.h"

namespace mailsift::cli {
namespace {

// The whole of `text` as a decimal number without sign; false when it is
// not one or does not fit.
bool parseNumber(std::string_view text, std::uint64_t& number) {
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  return !text.empty() && error == std::errc() && stop == end;
}

}  // namespace

bool equalsNoCase(std::string_view a, std::string_view b) noexcept {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; };
    return lower(x) == lower(y);
  });
}

bool parseJobs(std::string_view value, unsigned& jobs) {
  constexpr unsigned long kMostJobs = 1024;
  const std::string text(value);
  char* end = nullptr;
  const unsigned long number = std::strtoul(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || number == 0 || number > kMostJobs) {
    printError("--jobs takes a number from 1 to 1024, not '" + escapeControls(value) + "'");
    return false;
  }
  jobs = static_cast<unsigned>(number);
  return true;
}

bool parseRules(std::string_view value, ScanRules& rules) {
  const std::optional<ScanRules> named = scanRulesNamed(value);
  if (!named) {
    printError("--rules takes specified or extended, not '" + escapeControls(value) + "'");
    return false;
  }
  rules = *named;
  return true;
}

bool parseEncoding(std::string_view value) {
  if (equalsNoCase(value, "cp1252") || equalsNoCase(value, "windows-1252")) return true;
  printError("unsupported encoding '" + escapeControls(value) + "' (supported: cp1252)");
  return false;
}

bool parseFormat(std::string_view value, OutputFormat& format) {
  if (equalsNoCase(value, "lines")) {
    format = OutputFormat::Lines;
  } else if (equalsNoCase(value, "jsonl")) {
    format = OutputFormat::Jsonl;
  } else {
    printError("--format takes lines or jsonl, not '" + escapeControls(value) + "'");
    return false;
  }
  return true;
}

bool parseDownloadTime(std::string_view value, std::chrono::milliseconds& limit) {
  std::uint64_t seconds = 0;
  if (!parseNumber(value, seconds) || seconds > std::numeric_limits<std::int64_t>::max() / 1000) {
    printError("--max-download-time takes a number of seconds, not '" + escapeControls(value) + "'");
    return false;
  }
  limit = std::chrono::milliseconds(static_cast<std::int64_t>(seconds) * 1000);
  return true;
}

bool parseDownloadSize(std::string_view value, std::uint64_t& limit) {
  std::string_view digits = value;
  unsigned shift = 0;
  if (!digits.empty()) {
    switch (digits.back()) {
      case 'K':
      case 'k':
        shift = 10;
        break;
      case 'M':
      case 'm':
        shift = 20;
        break;
      case 'G':
      case 'g':
        shift = 30;
        break;
      default:
        break;
    }
    if (shift != 0) digits.remove_suffix(1);
  }
  std::uint64_t number = 0;
  if (!parseNumber(digits, number) || number > (std::numeric_limits<std::uint64_t>::max() >> shift)) {
    printError("--max-download-size takes a number of bytes, with K, M or G for KiB, MiB or GiB, not '" +
               escapeControls(value) + "'");
    return false;
  }
  limit = number << shift;
  return true;
}

bool parseDecodeMode(std::string_view value, DecodeMode& mode) {
  if (equalsNoCase(value, "auto")) {
    mode = DecodeMode::Auto;
  } else if (equalsNoCase(value, "none")) {
    mode = DecodeMode::None;
  } else {
    printError("--decode takes 'auto' or 'none', not '" + escapeControls(value) + "'");
    return false;
  }
  return true;
}

}  // namespace mailsift::cli
