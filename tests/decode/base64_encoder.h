// A plain base64 encoder, the reference the decoders are checked against.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace mailsift::test {

// `bytes` in base64 with padding, on one line.
inline std::string base64(std::string_view bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t at = 0; at < bytes.size(); at += 3) {
    std::uint32_t group = 0;
    const std::size_t count = std::min<std::size_t>(3, bytes.size() - at);
    for (std::size_t i = 0; i < 3; ++i)
      group = group << 8 | (i < count ? static_cast<unsigned char>(bytes[at + i]) : 0u);
    for (std::size_t i = 0; i < 4; ++i) out += i <= count ? kAlphabet[(group >> (18 - 6 * i)) & 63] : '=';
  }
  return out;
}

}  // namespace mailsift::test
