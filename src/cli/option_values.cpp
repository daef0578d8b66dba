// Reading option values, with the messages for bad ones.
#include "cli/option_values.h"

#include <algorithm>
#include <string>

#include "cli/output.h"

namespace mailsift::cli {
namespace {

bool equalsNoCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; };
    return lower(x) == lower(y);
  });
}

}  // namespace

bool parseDecodeMode(std::string_view value, DecodeMode& mode) {
  if (equalsNoCase(value, "auto")) {
    mode = DecodeMode::Auto;
  } else if (equalsNoCase(value, "none")) {
    mode = DecodeMode::None;
  } else {
    printError("--decode takes 'auto' or 'none', not '" + std::string(value) + "'");
    return false;
  }
  return true;
}

}  // namespace mailsift::cli
