// Values of the options both commands take.
#pragma once

#include <string_view>

#include "sources/content_scan.h"

namespace mailsift::cli {

// Reads the value of --decode ("auto" or "none", in any case) into `mode`;
// on a bad value prints why and returns false.
[[nodiscard]] bool parseDecodeMode(std::string_view value, DecodeMode& mode);

}  // namespace mailsift::cli
