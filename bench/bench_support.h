// Small pieces shared by the benchmark tools: a seeded generator that gives
// the same numbers on every machine, and parsing of their arguments.
#pragma once

#include <charconv>
#include <cstdint>
#include <string_view>

namespace mailsift::bench {

// splitmix64. Written out rather than taken from <random>: the standard
// distributions may differ between library versions, generated data must not.
class SplitMix64 {
 public:
  explicit SplitMix64(std::uint64_t seed) noexcept : m_state(seed) {}

  std::uint64_t next() noexcept {
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
  }

  // A number in [0, n), by multiply and shift; the bias is negligible here.
  std::uint32_t below(std::uint32_t n) noexcept { return static_cast<std::uint32_t>(((next() >> 32) * n) >> 32); }

  std::uint32_t between(std::uint32_t low, std::uint32_t high) noexcept { return low + below(high - low + 1); }

 private:
  std::uint64_t m_state;
};

// Parses a whole non-negative decimal number.
inline bool parseNumber(std::string_view text, std::uint64_t& value) {
  const char* end = text.data() + text.size();
  const auto [rest, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && rest == end && !text.empty();
}

// Parses a non-negative decimal number with an optional K, M or G suffix
// (powers of 1024).
inline bool parseSize(std::string_view text, std::uint64_t& value) {
  std::uint64_t number = 0;
  const char* end = text.data() + text.size();
  const auto [rest, error] = std::from_chars(text.data(), end, number);
  if (error != std::errc() || rest == text.data()) return false;
  unsigned shift = 0;
  if (rest != end) {
    if (rest + 1 != end) return false;
    switch (*rest) {
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
        return false;
    }
  }
  if (shift != 0 && number > (UINT64_MAX >> shift)) return false;
  value = number << shift;
  return true;
}

}  // namespace mailsift::bench
