// Candidate search kernels: a scalar one, SSE2 (the x86-64 baseline) and
// AVX2, chosen at run time. Each vector kernel computes a 64-bit
// mask per 64-byte block from four overlapping loads (offsets 0 to 3):
//   mask = (b0 == '@') | ((b1 | 0x20) == 'a' & (b2 | 0x20) == 't' & frame)
//   frame = b0 b3 is " " " ", "(" ")" or "[" "]"
// so only "@" and whole "at" forms are reported; words such as "attach"
// after a blank never reach the scanner. The frame test compares b0 and b3
// against each pair in SSE2; AVX2 looks up what b0 must be, and which
// closer b3 must be, by b0's low half with a byte shuffle (" ", "(" and "["
// differ there) and compares once each. (AVX-512BW was measured too: no
// faster than AVX2 on a 64 MiB text, its unaligned loads cross cache lines.)
//
// Extended rules add the frames "<" ">", "{" "}" and "-" "-". SSE2 compares
// each pair; AVX2 keeps its lookup of b0, where "[" and "{" share a low
// half: the table holds "{" and "[" is compared on its own, and a second
// table holds what each opener's closer adds to it (")" is "(" + 1, "]",
// "}" and ">" their opener + 2, blank and "-" themselves).
//
// Each kernel is one loop compiled for its instruction set. Prologue: none,
// a block may start anywhere. Main loop: whole blocks with their lookahead
// inside the text. Tail: the last partial block of the window, loaded in
// place when its lookahead is inside the text, else from a zero-padded copy,
// which can never add a candidate.
#include "scanner/detail/candidate_finder.h"

#include <algorithm>
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
constexpr std::size_t kLookahead = 3;  // bytes read past a block's end

inline bool isCandidateAt(const unsigned char* p) noexcept {
  if (p[0] == '@') return true;
  if ((p[1] | 0x20) != 'a' || (p[2] | 0x20) != 't') return false;
  return (p[0] == ' ' && p[3] == ' ') || (p[0] == '(' && p[3] == ')') || (p[0] == '[' && p[3] == ']');
}

inline bool isExtendedCandidateAt(const unsigned char* p) noexcept {
  if (p[0] == '@') return true;
  if ((p[1] | 0x20) != 'a' || (p[2] | 0x20) != 't') return false;
  switch (p[0]) {
    case ' ':
    case '-':
      return p[3] == p[0];
    case '(':
      return p[3] == ')';
    case '[':
    case '<':
    case '{':
      return p[3] == p[0] + 2;
    default:
      return false;
  }
}

inline std::size_t emit(std::uint64_t mask, std::size_t offset, std::uint16_t* out, std::size_t count) noexcept {
  while (mask != 0) {
    out[count++] = static_cast<std::uint16_t>(offset + static_cast<std::size_t>(std::countr_zero(mask)));
    mask &= mask - 1;
  }
  return count;
}

#ifdef MAILSIFT_X86
// A block with one or two candidates, the usual case in dense text, takes no
// branch that the text decides: two slots are always written and the count
// moves on by the number of candidates. The slots lie below offset + 2, and
// count <= offset, so they stay inside the kCandidateChunk room. tzcnt is
// defined for 0, where std::countr_zero made the compiler branch on 0 again.
// Needs BMI and POPCNT; the loop above mispredicts about once per candidate.
__attribute__((target("bmi,popcnt"))) inline std::size_t emitCounted(std::uint64_t mask, std::size_t offset,
                                                                     std::uint16_t* out, std::size_t count) noexcept {
  const auto found = static_cast<std::size_t>(_mm_popcnt_u64(mask));
  out[count] = static_cast<std::uint16_t>(offset + _tzcnt_u64(mask));
  mask &= mask - 1;
  out[count + 1] = static_cast<std::uint16_t>(offset + _tzcnt_u64(mask));
  mask &= mask - 1;
  if (found > 2) emit(mask, offset, out, count + 2);
  return count + found;
}
#endif

using BlockMask = std::uint64_t (*)(const unsigned char*) noexcept;
using BlockEmit = std::size_t (*)(std::uint64_t, std::size_t, std::uint16_t*, std::size_t) noexcept;

// The block mask and the main loop's emit are compiled into each kernel, for
// its instruction set.
template <BlockMask Mask, BlockEmit Emit>
[[gnu::always_inline]] inline std::size_t findBlocks(const unsigned char* text, std::size_t size, std::size_t begin,
                                                     std::size_t end, std::uint16_t* out) noexcept {
  std::size_t count = 0;
  std::size_t p = begin;
  // Main loop.
  const std::size_t mainEnd = size >= kLookahead ? std::min(end, size - kLookahead) : 0;
  for (; p + kBlock <= mainEnd; p += kBlock) {
    count = Emit(Mask(text + p), p - begin, out, count);
  }
  // Tail.
  for (; p < end; p += kBlock) {
    std::uint64_t mask;
    if (p + kBlock + kLookahead <= size) {
      mask = Mask(text + p);
    } else {
      alignas(64) unsigned char padded[kBlock + kBlock] = {};
      std::memcpy(padded, text + p, size - p < sizeof padded ? size - p : sizeof padded);
      mask = Mask(padded);
    }
    if (end - p < kBlock) mask &= (std::uint64_t{1} << (end - p)) - 1;
    count = emit(mask, p - begin, out, count);
  }
  return count;
}

inline std::uint64_t maskScalar(const unsigned char* p) noexcept {
  std::uint64_t mask = 0;
  for (std::size_t i = 0; i < kBlock; ++i) mask |= std::uint64_t{isCandidateAt(p + i)} << i;
  return mask;
}

std::size_t findScalar(const unsigned char* text, std::size_t size, std::size_t begin, std::size_t end,
                       std::uint16_t* out) noexcept {
  return findBlocks<maskScalar, emit>(text, size, begin, end, out);
}

inline std::uint64_t maskScalarExtended(const unsigned char* p) noexcept {
  std::uint64_t mask = 0;
  for (std::size_t i = 0; i < kBlock; ++i) mask |= std::uint64_t{isExtendedCandidateAt(p + i)} << i;
  return mask;
}

std::size_t findScalarExtended(const unsigned char* text, std::size_t size, std::size_t begin, std::size_t end,
                               std::uint16_t* out) noexcept {
  return findBlocks<maskScalarExtended, emit>(text, size, begin, end, out);
}

#ifdef MAILSIFT_X86
inline std::uint32_t mask16Sse2(const unsigned char* p) noexcept {
  const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
  const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2));
  const __m128i v3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 3));
  const __m128i caseBit = _mm_set1_epi8(0x20);
  const __m128i at = _mm_cmpeq_epi8(v0, _mm_set1_epi8('@'));
  const __m128i a = _mm_cmpeq_epi8(_mm_or_si128(v1, caseBit), _mm_set1_epi8('a'));
  const __m128i t = _mm_cmpeq_epi8(_mm_or_si128(v2, caseBit), _mm_set1_epi8('t'));
  const __m128i blanks = _mm_and_si128(_mm_cmpeq_epi8(v0, _mm_set1_epi8(' ')), _mm_cmpeq_epi8(v3, _mm_set1_epi8(' ')));
  const __m128i round = _mm_and_si128(_mm_cmpeq_epi8(v0, _mm_set1_epi8('(')), _mm_cmpeq_epi8(v3, _mm_set1_epi8(')')));
  const __m128i square = _mm_and_si128(_mm_cmpeq_epi8(v0, _mm_set1_epi8('[')), _mm_cmpeq_epi8(v3, _mm_set1_epi8(']')));
  const __m128i frame = _mm_or_si128(blanks, _mm_or_si128(round, square));
  const __m128i hit = _mm_or_si128(at, _mm_and_si128(_mm_and_si128(a, t), frame));
  return static_cast<std::uint32_t>(_mm_movemask_epi8(hit));
}

inline std::uint64_t maskSse2(const unsigned char* p) noexcept {
  return std::uint64_t{mask16Sse2(p)} | (std::uint64_t{mask16Sse2(p + 16)} << 16) |
         (std::uint64_t{mask16Sse2(p + 32)} << 32) | (std::uint64_t{mask16Sse2(p + 48)} << 48);
}

std::size_t findSse2(const unsigned char* text, std::size_t size, std::size_t begin, std::size_t end,
                     std::uint16_t* out) noexcept {
  return findBlocks<maskSse2, emit>(text, size, begin, end, out);
}

inline __m128i framedBy(__m128i v0, __m128i v3, char opener, char closer) noexcept {
  return _mm_and_si128(_mm_cmpeq_epi8(v0, _mm_set1_epi8(opener)), _mm_cmpeq_epi8(v3, _mm_set1_epi8(closer)));
}

inline std::uint32_t mask16Sse2Extended(const unsigned char* p) noexcept {
  const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
  const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2));
  const __m128i v3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 3));
  const __m128i caseBit = _mm_set1_epi8(0x20);
  const __m128i at = _mm_cmpeq_epi8(v0, _mm_set1_epi8('@'));
  const __m128i a = _mm_cmpeq_epi8(_mm_or_si128(v1, caseBit), _mm_set1_epi8('a'));
  const __m128i t = _mm_cmpeq_epi8(_mm_or_si128(v2, caseBit), _mm_set1_epi8('t'));
  const __m128i frame = _mm_or_si128(_mm_or_si128(_mm_or_si128(framedBy(v0, v3, ' ', ' '), framedBy(v0, v3, '(', ')')),
                                                  _mm_or_si128(framedBy(v0, v3, '[', ']'), framedBy(v0, v3, '<', '>'))),
                                     _mm_or_si128(framedBy(v0, v3, '{', '}'), framedBy(v0, v3, '-', '-')));
  const __m128i hit = _mm_or_si128(at, _mm_and_si128(_mm_and_si128(a, t), frame));
  return static_cast<std::uint32_t>(_mm_movemask_epi8(hit));
}

inline std::uint64_t maskSse2Extended(const unsigned char* p) noexcept {
  return std::uint64_t{mask16Sse2Extended(p)} | (std::uint64_t{mask16Sse2Extended(p + 16)} << 16) |
         (std::uint64_t{mask16Sse2Extended(p + 32)} << 32) | (std::uint64_t{mask16Sse2Extended(p + 48)} << 48);
}

std::size_t findSse2Extended(const unsigned char* text, std::size_t size, std::size_t begin, std::size_t end,
                             std::uint16_t* out) noexcept {
  return findBlocks<maskSse2Extended, emit>(text, size, begin, end, out);
}

// The frame tables, indexed by the low half of b0: " " is 0x20, "(" 0x28
// and "[" 0x5B. Every other entry holds 0xFF, which no b0 below 0x80 equals;
// a b0 from 0x80 up makes the shuffle give 0, which it does not equal either.
// Repeated for each 16-byte lane.
struct alignas(32) FrameTable {
  unsigned char bytes[32];
};

constexpr FrameTable frameTable(unsigned char blank, unsigned char round, unsigned char square) {
  FrameTable table{};
  for (std::size_t i = 0; i < 32; ++i) table.bytes[i] = 0xFF;
  for (std::size_t lane = 0; lane < 32; lane += 16) {
    table.bytes[lane + (' ' & 0xF)] = blank;
    table.bytes[lane + ('(' & 0xF)] = round;
    table.bytes[lane + ('[' & 0xF)] = square;
  }
  return table;
}

constexpr FrameTable kOpeners = frameTable(' ', '(', '[');
constexpr FrameTable kClosers = frameTable(' ', ')', ']');

// Extended rules: the openers by low half ("{" for both "{" and "["), and
// what each opener's closer adds to it.
constexpr FrameTable extendedTable(unsigned char blank, unsigned char round, unsigned char curly, unsigned char angle,
                                   unsigned char dash) {
  FrameTable table{};
  for (std::size_t i = 0; i < 32; ++i) table.bytes[i] = 0xFF;
  for (std::size_t lane = 0; lane < 32; lane += 16) {
    table.bytes[lane + (' ' & 0xF)] = blank;
    table.bytes[lane + ('(' & 0xF)] = round;
    table.bytes[lane + ('{' & 0xF)] = curly;
    table.bytes[lane + ('<' & 0xF)] = angle;
    table.bytes[lane + ('-' & 0xF)] = dash;
  }
  return table;
}

constexpr FrameTable kExtendedOpeners = extendedTable(' ', '(', '{', '<', '-');
constexpr FrameTable kExtendedCloserSteps = extendedTable(0, 1, 2, 2, 0);

__attribute__((target("avx2"))) inline std::uint32_t mask32Avx2(const unsigned char* p) noexcept {
  const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
  const __m256i v2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 2));
  const __m256i v3 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 3));
  const __m256i openers = _mm256_load_si256(reinterpret_cast<const __m256i*>(kOpeners.bytes));
  const __m256i closers = _mm256_load_si256(reinterpret_cast<const __m256i*>(kClosers.bytes));
  const __m256i caseBit = _mm256_set1_epi8(0x20);
  const __m256i at = _mm256_cmpeq_epi8(v0, _mm256_set1_epi8('@'));
  const __m256i a = _mm256_cmpeq_epi8(_mm256_or_si256(v1, caseBit), _mm256_set1_epi8('a'));
  const __m256i t = _mm256_cmpeq_epi8(_mm256_or_si256(v2, caseBit), _mm256_set1_epi8('t'));
  const __m256i opener = _mm256_cmpeq_epi8(_mm256_shuffle_epi8(openers, v0), v0);
  const __m256i closer = _mm256_cmpeq_epi8(_mm256_shuffle_epi8(closers, v0), v3);
  const __m256i form = _mm256_and_si256(_mm256_and_si256(a, t), _mm256_and_si256(opener, closer));
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_or_si256(at, form)));
}

__attribute__((target("avx2"))) inline std::uint64_t maskAvx2(const unsigned char* p) noexcept {
  return std::uint64_t{mask32Avx2(p)} | (std::uint64_t{mask32Avx2(p + 32)} << 32);
}

__attribute__((target("avx2,bmi,popcnt"))) std::size_t findAvx2(const unsigned char* text, std::size_t size,
                                                                std::size_t begin, std::size_t end,
                                                                std::uint16_t* out) noexcept {
  return findBlocks<maskAvx2, emitCounted>(text, size, begin, end, out);
}

__attribute__((target("avx2"))) inline std::uint32_t mask32Avx2Extended(const unsigned char* p) noexcept {
  const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
  const __m256i v2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 2));
  const __m256i v3 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 3));
  const __m256i openers = _mm256_load_si256(reinterpret_cast<const __m256i*>(kExtendedOpeners.bytes));
  const __m256i steps = _mm256_load_si256(reinterpret_cast<const __m256i*>(kExtendedCloserSteps.bytes));
  const __m256i caseBit = _mm256_set1_epi8(0x20);
  const __m256i at = _mm256_cmpeq_epi8(v0, _mm256_set1_epi8('@'));
  const __m256i a = _mm256_cmpeq_epi8(_mm256_or_si256(v1, caseBit), _mm256_set1_epi8('a'));
  const __m256i t = _mm256_cmpeq_epi8(_mm256_or_si256(v2, caseBit), _mm256_set1_epi8('t'));
  const __m256i opener = _mm256_or_si256(_mm256_cmpeq_epi8(_mm256_shuffle_epi8(openers, v0), v0),
                                         _mm256_cmpeq_epi8(v0, _mm256_set1_epi8('[')));
  const __m256i closer = _mm256_cmpeq_epi8(_mm256_add_epi8(v0, _mm256_shuffle_epi8(steps, v0)), v3);
  const __m256i form = _mm256_and_si256(_mm256_and_si256(a, t), _mm256_and_si256(opener, closer));
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_or_si256(at, form)));
}

__attribute__((target("avx2"))) inline std::uint64_t maskAvx2Extended(const unsigned char* p) noexcept {
  return std::uint64_t{mask32Avx2Extended(p)} | (std::uint64_t{mask32Avx2Extended(p + 32)} << 32);
}

__attribute__((target("avx2,bmi,popcnt"))) std::size_t findAvx2Extended(const unsigned char* text, std::size_t size,
                                                                        std::size_t begin, std::size_t end,
                                                                        std::uint16_t* out) noexcept {
  return findBlocks<maskAvx2Extended, emitCounted>(text, size, begin, end, out);
}

bool hasAvx2() noexcept {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("popcnt");
}
#endif

}  // namespace

std::span<const NamedCandidateFinder> availableCandidateFinders(ScanRules rules) noexcept {
#ifdef MAILSIFT_X86
  static const std::array<NamedCandidateFinder, 3> all = {{
      {"scalar", &findScalar},
      {"sse2", &findSse2},
      {"avx2", &findAvx2},
  }};
  static const std::array<NamedCandidateFinder, 3> allExtended = {{
      {"scalar", &findScalarExtended},
      {"sse2", &findSse2Extended},
      {"avx2", &findAvx2Extended},
  }};
  static const std::size_t count = hasAvx2() ? 3 : 2;
  return {rules == ScanRules::Extended ? allExtended.data() : all.data(), count};
#else
  static const std::array<NamedCandidateFinder, 1> all = {{{"scalar", &findScalar}}};
  static const std::array<NamedCandidateFinder, 1> allExtended = {{{"scalar", &findScalarExtended}}};
  return rules == ScanRules::Extended ? allExtended : all;
#endif
}

CandidateFinder bestCandidateFinder(ScanRules rules) noexcept {
  static const CandidateFinder best = availableCandidateFinders(ScanRules::Specified).back().find;
  static const CandidateFinder bestExtended = availableCandidateFinders(ScanRules::Extended).back().find;
  return rules == ScanRules::Extended ? bestExtended : best;
}

}  // namespace mailsift::detail
