// Candidate search kernels: a scalar one, SSE2 (the x86-64 baseline) and
// AVX2, chosen at run time. Each vector kernel computes a 64-bit mask per
// 64-byte block from three overlapping loads (offsets 0, 1 and 2):
//   mask = (b0 == '@') | ((b0 in " ([") & (b1 | 0x20) == 'a' & (b2 | 0x20) == 't')
// so the common case is a handful of compares per byte and one branch per
// block. Blocks too close to the end of the text to load 66 bytes run on a
// zero-padded copy, which can never add a candidate.
#include "scanner/detail/candidate_finder.h"

#include <array>
#include <bit>
#include <cstring>

#if defined(__x86_64__) || defined(_M_X64)
#define MAILSIFT_X86 1
#include <immintrin.h>
#endif

namespace mailsift::detail {
namespace {

constexpr std::size_t kBlock = 64;
constexpr std::size_t kLookahead = 2;  // bytes read past a block's end

inline bool isCandidateAt(const unsigned char* p) noexcept {
  if (p[0] == '@') return true;
  const bool opener = p[0] == ' ' || p[0] == '(' || p[0] == '[';
  return opener && (p[1] | 0x20) == 'a' && (p[2] | 0x20) == 't';
}

std::uint64_t maskScalar(const unsigned char* p) noexcept {
  std::uint64_t mask = 0;
  for (std::size_t i = 0; i < kBlock; ++i) mask |= std::uint64_t{isCandidateAt(p + i)} << i;
  return mask;
}

#ifdef MAILSIFT_X86
inline std::uint32_t mask16Sse2(const unsigned char* p) noexcept {
  const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
  const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2));
  const __m128i caseBit = _mm_set1_epi8(0x20);
  const __m128i at = _mm_cmpeq_epi8(v0, _mm_set1_epi8('@'));
  const __m128i a = _mm_cmpeq_epi8(_mm_or_si128(v1, caseBit), _mm_set1_epi8('a'));
  const __m128i t = _mm_cmpeq_epi8(_mm_or_si128(v2, caseBit), _mm_set1_epi8('t'));
  const __m128i opener =
      _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v0, _mm_set1_epi8(' ')), _mm_cmpeq_epi8(v0, _mm_set1_epi8('('))),
                   _mm_cmpeq_epi8(v0, _mm_set1_epi8('[')));
  const __m128i hit = _mm_or_si128(at, _mm_and_si128(_mm_and_si128(a, t), opener));
  return static_cast<std::uint32_t>(_mm_movemask_epi8(hit));
}

std::uint64_t maskSse2(const unsigned char* p) noexcept {
  return std::uint64_t{mask16Sse2(p)} | (std::uint64_t{mask16Sse2(p + 16)} << 16) |
         (std::uint64_t{mask16Sse2(p + 32)} << 32) | (std::uint64_t{mask16Sse2(p + 48)} << 48);
}

__attribute__((target("avx2"))) inline std::uint32_t mask32Avx2(const unsigned char* p) noexcept {
  const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
  const __m256i v2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 2));
  const __m256i caseBit = _mm256_set1_epi8(0x20);
  const __m256i at = _mm256_cmpeq_epi8(v0, _mm256_set1_epi8('@'));
  const __m256i a = _mm256_cmpeq_epi8(_mm256_or_si256(v1, caseBit), _mm256_set1_epi8('a'));
  const __m256i t = _mm256_cmpeq_epi8(_mm256_or_si256(v2, caseBit), _mm256_set1_epi8('t'));
  const __m256i opener = _mm256_or_si256(
      _mm256_or_si256(_mm256_cmpeq_epi8(v0, _mm256_set1_epi8(' ')), _mm256_cmpeq_epi8(v0, _mm256_set1_epi8('('))),
      _mm256_cmpeq_epi8(v0, _mm256_set1_epi8('[')));
  const __m256i hit = _mm256_or_si256(at, _mm256_and_si256(_mm256_and_si256(a, t), opener));
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(hit));
}

__attribute__((target("avx2"))) std::uint64_t maskAvx2(const unsigned char* p) noexcept {
  return std::uint64_t{mask32Avx2(p)} | (std::uint64_t{mask32Avx2(p + 32)} << 32);
}
#endif

inline std::size_t emit(std::uint64_t mask, std::size_t offset, std::uint16_t* out, std::size_t count) noexcept {
  while (mask != 0) {
    out[count++] = static_cast<std::uint16_t>(offset + static_cast<std::size_t>(std::countr_zero(mask)));
    mask &= mask - 1;
  }
  return count;
}

// Prologue: whole blocks with their lookahead inside the text. Tail: the
// rest, one zero-padded block at a time. Bits past `end` are cleared.
template <std::uint64_t (*Mask)(const unsigned char*) noexcept>
std::size_t findWith(const unsigned char* text, std::size_t size, std::size_t begin, std::size_t end,
                     std::uint16_t* out) noexcept {
  std::size_t count = 0;
  std::size_t p = begin;
  for (; p < end && p + kBlock + kLookahead <= size; p += kBlock) {
    std::uint64_t mask = Mask(text + p);
    if (end - p < kBlock) mask &= (std::uint64_t{1} << (end - p)) - 1;
    count = emit(mask, p - begin, out, count);
  }
  for (; p < end; p += kBlock) {
    alignas(64) unsigned char padded[kBlock + kBlock] = {};
    std::memcpy(padded, text + p, size - p < sizeof padded ? size - p : sizeof padded);
    std::uint64_t mask = Mask(padded);
    if (end - p < kBlock) mask &= (std::uint64_t{1} << (end - p)) - 1;
    count = emit(mask, p - begin, out, count);
  }
  return count;
}

#ifdef MAILSIFT_X86
bool hasAvx2() noexcept {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}
#endif

}  // namespace

std::span<const NamedCandidateFinder> availableCandidateFinders() noexcept {
#ifdef MAILSIFT_X86
  static const std::array<NamedCandidateFinder, 3> all = {{
      {"scalar", &findWith<maskScalar>},
      {"sse2", &findWith<maskSse2>},
      {"avx2", &findWith<maskAvx2>},
  }};
  static const std::size_t count = hasAvx2() ? 3 : 2;
  return {all.data(), count};
#else
  static const std::array<NamedCandidateFinder, 1> all = {{{"scalar", &findWith<maskScalar>}}};
  return all;
#endif
}

CandidateFinder bestCandidateFinder() noexcept {
  static const CandidateFinder best = availableCandidateFinders().back().find;
  return best;
}

}  // namespace mailsift::detail
