// The address scanner. It reads the raw text once and never rewrites it:
// lower case comes from a table, and the spelled-out forms are recognised
// where they matter. An "at" form is a hit of its own; a dot form only
// matters inside a candidate, where the walks step over it as one ".".
//
// This gives the same result as lower-casing the text and replacing the
// seven forms one after the other, because no form can overlap another form
// nor be created by a replacement ("@" and "." occur in none of them). The one
// exception is " at ", which can share a blank with the next " at "; the
// left-to-right replacement takes the first of such a pair, which the scan
// reproduces by remembering where the last replaced " at " ended.
//
// A hit takes a short path or a long one, and both write the entry
// lower-cased straight into one buffer. Short: each part ends within one
// 16-byte step of the "@", away from the ends of the text and from dot
// forms, so one class test per part finds it and the step itself is stored.
// Long: the walks test 16 bytes at a time (byte by byte near the ends of the
// text, stepping over dot forms), then copy. finish() then finds the dots by
// compares over the right part, cuts it to the address and widens ä, ö and ü
// to UTF-8 in place, last, when there are any.
//
// Extended rules are a second instantiation of the same scanner, so the
// loop of the specified rules stays as it was. Their forms may stand between
// blanks, and two such forms can share a blank ("a at b dot c", " at at ");
// replacing the forms from left to right, each where no form taken before
// it overlaps, is what the scan reproduces (isTakenBlankForm).
#include "scanner/extract_addresses.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

#include "scanner/detail/candidate_finder.h"
#include "scanner/detail/char_table.h"
#include "scanner/detail/extended_tld_lookup.h"
#include "scanner/detail/tld_lookup.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mailsift {
namespace {

using detail::kClassOf;
using detail::kLowerOf;

constexpr std::size_t kShortDotForm = 5;  // "(dot)"
constexpr std::size_t kLongDotForm = 7;   // "(punkt)"
constexpr std::size_t kStep = 16;         // bytes per class test
constexpr std::size_t kNone = ~std::size_t{0};
// The lengths of extended rules' forms between blanks: " at ", " dot ",
// " (at) " and " -at- ", " (dot) " and " -dot- ", " (punkt) ".
constexpr std::array<std::size_t, 5> kBlankFormLengths = {4, 5, 6, 7, 9};

inline bool equalsLower(const unsigned char* p, std::string_view word) noexcept {
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (kLowerOf[p[i]] != static_cast<unsigned char>(word[i])) return false;
  }
  return true;
}

inline unsigned char closerOf(unsigned char opener) noexcept { return opener == '(' ? ')' : ']'; }

// The brackets of extended rules, and the frames of their forms.
inline bool isOpener(unsigned char b) noexcept { return b == '(' || b == '[' || b == '<' || b == '{'; }
inline bool isCloser(unsigned char b) noexcept { return b == ')' || b == ']' || b == '>' || b == '}'; }

// "(" ")", "[" "]", "<" ">", "{" "}" and "-" "-".
inline unsigned char extendedCloserOf(unsigned char opener) noexcept {
  return opener == '(' ? ')' : opener == '-' ? '-' : static_cast<unsigned char>(opener + 2);
}
inline unsigned char extendedOpenerOf(unsigned char closer) noexcept {
  return closer == ')' ? '(' : static_cast<unsigned char>(closer - 2);
}

// Sixteen bytes at a time. Bit i of a class mask is set when p[i] belongs
// to the class. Lower case is b | 0x20 for every right-class byte; for the
// left class it is too, but for "_".
#if defined(__SSE2__)
inline __m128i load16(const void* p) noexcept { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }

// Bytes in [low, low + span], unsigned.
inline __m128i inRange(__m128i v, char low, char span) noexcept {
  const __m128i from = _mm_sub_epi8(v, _mm_set1_epi8(low));
  return _mm_cmpeq_epi8(_mm_min_epu8(from, _mm_set1_epi8(span)), from);
}

// Letters either case, digits, "-" and "."; "-./0-9" is one range but "/".
inline __m128i sharedClass(__m128i v) noexcept {
  const __m128i letter = inRange(_mm_or_si128(v, _mm_set1_epi8(0x20)), 'a', 25);
  const __m128i number = _mm_andnot_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('/')), inRange(v, '-', '9' - '-'));
  return _mm_or_si128(letter, number);
}

// Extended rules add "+".
template <ScanRules kRules = ScanRules::Specified>
inline unsigned leftBits(const unsigned char* p) noexcept {
  const __m128i v = load16(p);
  __m128i member = _mm_or_si128(sharedClass(v), _mm_cmpeq_epi8(v, _mm_set1_epi8('_')));
  if constexpr (kRules == ScanRules::Extended) member = _mm_or_si128(member, _mm_cmpeq_epi8(v, _mm_set1_epi8('+')));
  return static_cast<unsigned>(_mm_movemask_epi8(member));
}

inline unsigned rightBits(const unsigned char* p) noexcept {
  const __m128i v = load16(p);
  const __m128i lower = _mm_or_si128(v, _mm_set1_epi8(0x20));
  const __m128i umlaut = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(lower, _mm_set1_epi8(static_cast<char>(0xE4))),
                                                   _mm_cmpeq_epi8(lower, _mm_set1_epi8(static_cast<char>(0xF6)))),
                                      _mm_cmpeq_epi8(lower, _mm_set1_epi8(static_cast<char>(0xFC))));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(sharedClass(v), umlaut)));
}

inline void lowerLeft16(char* out, const unsigned char* p) noexcept {
  const __m128i v = load16(p);
  const __m128i caseBit = _mm_andnot_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('_')), _mm_set1_epi8(0x20));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_or_si128(v, caseBit));
}

inline void lowerRight16(char* out, const unsigned char* p) noexcept {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_or_si128(load16(p), _mm_set1_epi8(0x20)));
}

inline unsigned equalBits(const char* p, char c) noexcept {
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(load16(p), _mm_set1_epi8(c))));
}

inline unsigned highBits(const char* p) noexcept { return static_cast<unsigned>(_mm_movemask_epi8(load16(p))); }
#else
template <unsigned char kClass>
inline unsigned classBits(const unsigned char* p) noexcept {
  unsigned bits = 0;
  for (std::size_t i = 0; i < kStep; ++i) bits |= unsigned{(kClassOf[p[i]] & kClass) != 0} << i;
  return bits;
}

template <ScanRules kRules = ScanRules::Specified>
inline unsigned leftBits(const unsigned char* p) noexcept {
  return classBits < kRules == ScanRules::Extended ? detail::kLeftExtended : detail::kLeft > (p);
}
inline unsigned rightBits(const unsigned char* p) noexcept { return classBits<detail::kRight>(p); }

inline void lowerLeft16(char* out, const unsigned char* p) noexcept {
  for (std::size_t i = 0; i < kStep; ++i) out[i] = static_cast<char>(kLowerOf[p[i]]);
}

inline void lowerRight16(char* out, const unsigned char* p) noexcept {
  for (std::size_t i = 0; i < kStep; ++i) out[i] = static_cast<char>(p[i] | 0x20);
}

inline unsigned equalBits(const char* p, char c) noexcept {
  unsigned bits = 0;
  for (std::size_t i = 0; i < kStep; ++i) bits |= unsigned{p[i] == c} << i;
  return bits;
}

inline unsigned highBits(const char* p) noexcept {
  unsigned bits = 0;
  for (std::size_t i = 0; i < kStep; ++i) bits |= unsigned{(static_cast<unsigned char>(p[i]) & 0x80) != 0} << i;
  return bits;
}
#endif

// Where the dots of a right part lie, and whether it holds bytes that take
// two in UTF-8 (ä, ö, ü) or two dots in a row.
struct RightShape {
  std::size_t firstDot;   // or the part's size when there is none
  std::size_t secondDot;  // or the part's size
  std::size_t lastDot;    // or the part's size
  bool wide = false;
  bool doubleDot = false;
};

// The shape of one step's worth of right part: dots and high bytes, bit i
// for byte i, of a part of `size` bytes, at `at` in the whole part.
inline void addStep(RightShape& shape, std::size_t at, unsigned dots, unsigned high, std::size_t size,
                    unsigned& lastBit) noexcept {
  shape.wide |= high != 0;
  if (dots == 0) {
    lastBit = 0;
    return;
  }
  shape.doubleDot |= ((dots << 1 | lastBit) & dots) != 0;
  lastBit = dots >> (kStep - 1);
  shape.lastDot = at + kStep - 1 - static_cast<std::size_t>(std::countl_zero(dots << (32 - kStep)));
  if (shape.firstDot == size) {
    shape.firstDot = at + static_cast<std::size_t>(std::countr_zero(dots));
    dots &= dots - 1;
  }
  if (shape.secondDot == size && dots != 0) shape.secondDot = at + static_cast<std::size_t>(std::countr_zero(dots));
}

// Reads up to 15 bytes past `size`, which the entry buffer always has. Kept
// inline in both instantiations of the long path, as it was with one.
[[gnu::always_inline]] inline RightShape shapeOf(const char* right, std::size_t size) noexcept {
  RightShape shape{size, size, size};
  unsigned lastBit = 0;  // the previous step's last byte was a dot
  for (std::size_t at = 0; at < size; at += kStep) {
    const unsigned valid = size - at >= kStep ? 0xFFFFu : (1u << (size - at)) - 1;
    addStep(shape, at, equalBits(right + at, '.') & valid, highBits(right + at) & valid, size, lastBit);
  }
  return shape;
}

// The same for a part shorter than a step.
inline RightShape shapeOfShort(const char* right, std::size_t size) noexcept {
  RightShape shape{size, size, size};
  const unsigned valid = (1u << size) - 1;
  unsigned lastBit = 0;
  addStep(shape, 0, equalBits(right, '.') & valid, highBits(right) & valid, size, lastBit);
  return shape;
}

// The entry buffer: a fixed array for the usual entry, the heap for a longer
// one. Nothing is kept when it grows; it is reserved before each entry.
class EntryBuffer {
 public:
  char* reserve(std::size_t bytes) {
    if (bytes > m_capacity) {
      m_capacity = std::max(bytes, 2 * m_capacity);
      m_heap = std::make_unique_for_overwrite<char[]>(m_capacity);
      m_data = m_heap.get();
    }
    return m_data;
  }

 private:
  static constexpr std::size_t kLocalBytes = 512;
  char m_local[kLocalBytes];
  char* m_data = m_local;
  std::size_t m_capacity = kLocalBytes;
  std::unique_ptr<char[]> m_heap;
};

template <ScanRules kRules>
class Scanner {
  static constexpr bool kExtended = kRules == ScanRules::Extended;
  static constexpr unsigned char kLeftClass = kExtended ? detail::kLeftExtended : detail::kLeft;
  static constexpr std::size_t kLongestTld = kExtended ? detail::kLongestExtendedTld : detail::kLongestTld;

 public:
  Scanner(std::string_view text, EntrySink& sink, std::uint64_t textOffset)
      : m_text(reinterpret_cast<const unsigned char*>(text.data())),
        m_size(text.size()),
        m_sink(sink),
        m_textOffset(textOffset),
        m_origins(sink.wantsOrigins()) {}

  SinkReply run() {
    const detail::CandidateFinder find = detail::bestCandidateFinder(kRules);
    std::uint16_t offsets[detail::kCandidateChunk];
    for (std::size_t begin = 0; begin < m_size; begin += detail::kCandidateChunk) {
      const std::size_t end = std::min(m_size, begin + detail::kCandidateChunk);
      const std::size_t count = find(m_text, m_size, begin, end, offsets);
      for (std::size_t i = 0; i < count; ++i) {
        candidate(begin + offsets[i]);
        if (m_reply == SinkReply::Stop) return m_reply;
      }
    }
    return m_reply;
  }

 private:
  // A candidate is "@" or a whole "(at)", "[at]" or " at "; all are hits but
  // a " at " whose first blank ended the " at " before it.
  void candidate(std::size_t p) {
    const unsigned char first = m_text[p];
    if (first == '@') {
      hit(p, p + 1);
    } else if constexpr (kExtended) {
      extendedCandidate(p);
    } else if (first != ' ') {
      hit(p, p + 4);
    } else if (p >= m_blankAtEnd) {
      m_blankAtEnd = p + 4;
      hit(p, p + 4);
    }
  }

  // Extended rules: " at ", or "(at)", "[at]", "<at>", "{at}" or "-at-" at
  // `p`, which between blanks are one form with them; "-at-" is a form only
  // so. A form between blanks is a hit when it is taken.
  void extendedCandidate(std::size_t p) {
    if (m_text[p] == ' ') {
      if (isTakenBlankForm(p)) hit(p, p + 4);
      return;
    }
    if (p > 0 && m_text[p - 1] == ' ' && p + 4 < m_size && m_text[p + 4] == ' ' && isTakenBlankForm(p - 1)) {
      hit(p - 1, p + 5);
    } else if (m_text[p] != '-') {
      hit(p, p + 4);
    }
  }

  // The length of the dot form that ends right before `end`, or 0.
  std::size_t dotFormEndingAt(std::size_t end) const noexcept {
    const unsigned char closer = m_text[end - 1];
    const unsigned char opener = closer == ')' ? '(' : '[';
    if (end >= kShortDotForm && m_text[end - kShortDotForm] == opener &&
        equalsLower(m_text + end - kShortDotForm + 1, "dot")) {
      return kShortDotForm;
    }
    if (end >= kLongDotForm && m_text[end - kLongDotForm] == opener &&
        equalsLower(m_text + end - kLongDotForm + 1, "punkt")) {
      return kLongDotForm;
    }
    return 0;
  }

  // The length of the dot form that starts at `begin`, or 0.
  std::size_t dotFormStartingAt(std::size_t begin) const noexcept {
    const unsigned char closer = closerOf(m_text[begin]);
    if (begin + kShortDotForm <= m_size && m_text[begin + kShortDotForm - 1] == closer &&
        equalsLower(m_text + begin + 1, "dot")) {
      return kShortDotForm;
    }
    if (begin + kLongDotForm <= m_size && m_text[begin + kLongDotForm - 1] == closer &&
        equalsLower(m_text + begin + 1, "punkt")) {
      return kLongDotForm;
    }
    return 0;
  }

  // Extended rules' forms. Each form is a word ("at", "dot", "punkt"),
  // bracketed or not, with or without a blank on either side:
  //   between blanks: " at ", " dot ", and " X " for every bracketed X;
  //   bracketed:      "(at)" "[at]" "<at>" "{at}" "-at-" and the same with
  //                   "dot", "(punkt)" and "[punkt]";
  // every bracketed one counts alone too, but "-at-" and "-dot-".

  // True when `word` (lower case) stands at `p`, in either case.
  bool wordAt(std::size_t p, std::string_view word) const noexcept {
    return p + word.size() <= m_size && equalsLower(m_text + p, word);
  }

  // The length of the bracketed form that starts with the opener at `p`
  // ("-" included), or 0. Sets `isAt` for an "@" form.
  std::size_t bracketedFormAt(std::size_t p, bool& isAt) const noexcept {
    const unsigned char opener = m_text[p];
    const unsigned char closer = extendedCloserOf(opener);
    if (wordAt(p + 1, "at") && p + 3 < m_size && m_text[p + 3] == closer) {
      isAt = true;
      return 4;
    }
    isAt = false;
    if (wordAt(p + 1, "dot") && p + 4 < m_size && m_text[p + 4] == closer) return 5;
    if ((opener == '(' || opener == '[') && wordAt(p + 1, "punkt") && p + 6 < m_size && m_text[p + 6] == closer) {
      return 7;
    }
    return 0;
  }

  // The length of the form between blanks that starts with the blank at
  // `s`, or 0. Sets `isAt` for an "@" form.
  std::size_t blankFormAt(std::size_t s, bool& isAt) const noexcept {
    if (s + 1 >= m_size) return 0;
    const unsigned char first = m_text[s + 1];
    std::size_t inner = 0;
    isAt = false;
    if ((first | 0x20) == 'a') {
      inner = wordAt(s + 1, "at") ? 2 : 0;
      isAt = true;
    } else if ((first | 0x20) == 'd') {
      inner = wordAt(s + 1, "dot") ? 3 : 0;
    } else if (isOpener(first) || first == '-') {
      inner = bracketedFormAt(s + 1, isAt);
    }
    if (inner == 0 || s + 1 + inner >= m_size || m_text[s + 1 + inner] != ' ') return 0;
    return inner + 2;
  }

  // Where the form between blanks that ends with the blank at `q` starts,
  // or kNone. Sets `isAt` for an "@" form. No form ends with another one,
  // so at most one ends there.
  std::size_t blankFormEndingAt(std::size_t q, bool& isAt) const noexcept {
    if (q < 3) return kNone;
    // The byte before the blank tells the lengths: "t" ends " at " and
    // " dot ", the others the bracketed forms.
    const unsigned char last = m_text[q - 1];
    std::size_t from = 0;
    std::size_t to = 0;
    if ((last | 0x20) == 't') {
      to = 2;
    } else if (isCloser(last) || last == '-') {
      from = 2;
      to = kBlankFormLengths.size();
    }
    for (std::size_t i = from; i < to; ++i) {
      const std::size_t length = kBlankFormLengths[i];
      if (length > q + 1) break;
      const std::size_t s = q + 1 - length;
      if (m_text[s] == ' ' && blankFormAt(s, isAt) == length) return s;
    }
    return kNone;
  }

  // The length of the bracketed dot form that starts at `p` or ends right
  // before `end` (not "-dot-", which is a form only between blanks), or 0.
  std::size_t bracketedDotFormAt(std::size_t p) const noexcept {
    bool isAt = false;
    const std::size_t length = bracketedFormAt(p, isAt);
    return isAt ? 0 : length;
  }

  std::size_t bracketedDotFormEndingAt(std::size_t end) const noexcept {
    const unsigned char opener = extendedOpenerOf(m_text[end - 1]);
    for (const std::size_t length : {kShortDotForm, kLongDotForm}) {
      if (length <= end && m_text[end - length] == opener && bracketedDotFormAt(end - length) == length) {
        return length;
      }
    }
    return 0;
  }

  // Whether the form between blanks that starts at `s` is taken: it is
  // unless a form that ends with its first blank was taken. So a run of
  // forms, each ending with the blank the next one starts with, alternates
  // from its first, which is taken: member i is taken when i is even.
  //
  // The last run asked about is kept as its first member, every kMarkEvery-th
  // member after it, and its last member known, so that the walks and hits
  // that ask along a run do not go back to its start each time, and a run
  // as long as the text takes a sixteenth of its length in marks.
  bool isTakenBlankForm(std::size_t s) {
    FormRun& run = m_run;
    if (!run.marks.empty() && s >= run.marks.front() && s <= run.last) {
      const auto mark = std::upper_bound(run.marks.begin(), run.marks.end(), s) - 1;
      std::size_t member = static_cast<std::size_t>(mark - run.marks.begin()) * kMarkEvery;
      for (std::size_t at = *mark; at < s; at = nextInRun(at)) ++member;
      return member % 2 == 0;
    }
    // Usually the form is alone, the first member of its run.
    bool isAt = false;
    std::size_t first = blankFormEndingAt(s, isAt);
    if (first == kNone) return true;
    // Back to the run's first member, or to the last member known.
    while (run.marks.empty() || first != run.last) {
      const std::size_t before = blankFormEndingAt(first, isAt);
      if (before == kNone) {
        run.marks.assign(1, first);
        run.last = first;
        run.count = 1;
        break;
      }
      first = before;
    }
    while (run.last != s) {
      run.last = nextInRun(run.last);
      if (run.count % kMarkEvery == 0) run.marks.push_back(run.last);
      ++run.count;
    }
    return (run.count - 1) % 2 == 0;
  }

  // The member after the one at `s`: it starts with the blank that ends it.
  std::size_t nextInRun(std::size_t s) const noexcept {
    bool isAt = false;
    return s + blankFormAt(s, isAt) - 1;
  }

  // The length of the extended dot form that the left walk steps over when
  // it stops at `end` (exclusive), or 0.
  std::size_t extendedDotFormEndingAt(std::size_t end) {
    const unsigned char last = m_text[end - 1];
    if (last == ' ') {
      bool isAt = false;
      const std::size_t start = blankFormEndingAt(end - 1, isAt);
      return start != kNone && !isAt && isTakenBlankForm(start) ? end - start : 0;
    }
    // A bracketed form reached so is always taken: a form between blanks
    // around it would end where the walk began or a form it took starts.
    return isCloser(last) ? bracketedDotFormEndingAt(end) : 0;
  }

  // The same for the right walk stopping at `begin`. No form taken before
  // can overlap one reached so, which is thus always taken.
  std::size_t extendedDotFormStartingAt(std::size_t begin) const noexcept {
    const unsigned char first = m_text[begin];
    if (first == ' ') {
      bool isAt = false;
      const std::size_t length = blankFormAt(begin, isAt);
      return isAt ? 0 : length;
    }
    return isOpener(first) ? bracketedDotFormAt(begin) : 0;
  }

  // For the usual case of extended rules: whether a dot form may end with
  // the byte at `q`, or start with the one at `k`, so the walks must look.
  bool mayEndDotForm(std::size_t q) const noexcept {
    if (m_text[q] != ' ') return isCloser(m_text[q]);
    bool isAt = false;
    return blankFormEndingAt(q, isAt) != kNone && !isAt;
  }

  bool mayStartDotForm(std::size_t k) const noexcept {
    if (m_text[k] != ' ') return isOpener(m_text[k]);
    bool isAt = false;
    return blankFormAt(k, isAt) != 0 && !isAt;
  }

  // Where the left part begins: the longest run of left-class characters and
  // dot forms that ends at `end`. Sets `forms` when it holds a dot form.
  std::size_t leftStart(std::size_t end, bool& forms) noexcept {
    std::size_t j = end;
    for (;;) {
      // Sixteen bytes back at a time while they are in the text.
      while (j >= kStep) {
        const unsigned outside = ~leftBits<kRules>(m_text + j - kStep) & 0xFFFFu;
        if (outside == 0) {
          j -= kStep;
          continue;
        }
        j -= static_cast<std::size_t>(std::countl_zero(outside << (32 - kStep)));
        break;
      }
      // The first bytes of the text, one at a time.
      if (j < kStep) {
        while (j > 0 && (kClassOf[m_text[j - 1]] & kLeftClass)) --j;
      }
      if constexpr (kExtended) {
        if (j == 0) return j;
        const std::size_t form = extendedDotFormEndingAt(j);
        if (form == 0) return j;
        forms = true;
        j -= form;
      } else {
        if (j == 0 || (m_text[j - 1] != ')' && m_text[j - 1] != ']')) return j;
        const std::size_t form = dotFormEndingAt(j);
        if (form == 0) return j;
        forms = true;
        j -= form;
      }
    }
  }

  // Where the right part ends: the longest run of right-class characters and
  // dot forms that starts at `begin`. Sets `forms` when it holds a dot form.
  std::size_t rightEnd(std::size_t begin, bool& forms) const noexcept {
    std::size_t k = begin;
    for (;;) {
      // Sixteen bytes on at a time while they are in the text.
      while (k + kStep <= m_size) {
        const unsigned outside = ~rightBits(m_text + k) & 0xFFFFu;
        if (outside == 0) {
          k += kStep;
          continue;
        }
        k += static_cast<std::size_t>(std::countr_zero(outside));
        break;
      }
      // The last bytes of the text, one at a time.
      if (k + kStep > m_size) {
        while (k < m_size && (kClassOf[m_text[k]] & detail::kRight)) ++k;
      }
      if constexpr (kExtended) {
        if (k == m_size) return k;
        const std::size_t form = extendedDotFormStartingAt(k);
        if (form == 0) return k;
        forms = true;
        k += form;
      } else {
        if (k == m_size || (m_text[k] != '(' && m_text[k] != '[')) return k;
        const std::size_t form = dotFormStartingAt(k);
        if (form == 0) return k;
        forms = true;
        k += form;
      }
    }
  }

  // Writes [begin, end) of the text lower-cased, each dot form as one ".",
  // and returns the end of what it wrote. May write up to 15 bytes past it.
  template <bool kLeftPart>
  char* copyPart(char* out, std::size_t begin, std::size_t end, bool forms) const noexcept {
    if (!forms) {
      std::size_t k = begin;
      for (; k + kStep <= m_size && k < end; k += kStep, out += kStep) {
        if constexpr (kLeftPart) {
          lowerLeft16(out, m_text + k);
        } else {
          lowerRight16(out, m_text + k);
        }
      }
      if (k >= end) return out - (k - end);
      for (; k < end; ++k) *out++ = static_cast<char>(kLowerOf[m_text[k]]);
      return out;
    }
    // Every byte outside the classes starts a dot form the walk took.
    for (std::size_t k = begin; k < end;) {
      const unsigned char b = m_text[k];
      if constexpr (kExtended) {
        if (b == ' ' || isOpener(b)) {
          bool isAt = false;
          *out++ = '.';
          k += b == ' ' ? blankFormAt(k, isAt) : bracketedDotFormAt(k);
        } else {
          *out++ = static_cast<char>(kLowerOf[b]);
          ++k;
        }
      } else if (b == '(' || b == '[') {
        *out++ = '.';
        k += (m_text[k + 1] | 0x20) == 'd' ? kShortDotForm : kLongDotForm;
      } else {
        *out++ = static_cast<char>(kLowerOf[b]);
        ++k;
      }
    }
    return out;
  }

  // Removes every empty label: each run of dots becomes one dot. The part
  // neither begins nor ends with a dot here.
  static std::size_t joinLabels(char* right, std::size_t size) noexcept {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < size; ++i) {
      if (right[i] == '.' && right[kept - 1] == '.') continue;
      right[kept++] = right[i];
    }
    return kept;
  }

  // Rewrites Windows-1252 ä, ö and ü in [right, right + size) as UTF-8, from
  // the back, and returns the new size; the buffer has room for it.
  static std::size_t widen(char* right, std::size_t size) noexcept {
    std::size_t wide = 0;
    for (std::size_t i = 0; i < size; ++i) wide += static_cast<std::size_t>(static_cast<unsigned char>(right[i]) >> 7);
    std::size_t to = size + wide;
    for (std::size_t i = size; i-- > 0;) {
      const auto b = static_cast<unsigned char>(right[i]);
      if (b < 0x80) {
        right[--to] = static_cast<char>(b);
      } else {
        right[--to] = static_cast<char>(0x80 | (b & 0x3F));
        right[--to] = static_cast<char>(0xC0 | (b >> 6));
      }
    }
    return size + wide;
  }

  // Extended rules: one full stop that ends the right part ends a sentence.
  static std::size_t withoutFullStop(const char* right, std::size_t size) noexcept {
    return size > 0 && right[size - 1] == '.' ? size - 1 : size;
  }

  void hit(std::size_t leftEnd, std::size_t rightBegin) {
    // An empty left part drops the hit whatever the right part holds, and
    // an empty right part has no top-level domain, which drops it too.
    //
    // Usual case: both parts shorter than a step, no dot form beside them,
    // and a whole step of text on either side. One class test per part, and
    // each part stored lower-cased from the step it was found in.
    if (leftEnd >= kStep && rightBegin + kStep <= m_size) {
      const unsigned char* const leftStep = m_text + leftEnd - kStep;
      const unsigned leftOutside = ~leftBits<kRules>(leftStep) & 0xFFFFu;
      const unsigned char* const rightStep = m_text + rightBegin;
      const unsigned rightOutside = ~rightBits(rightStep) & 0xFFFFu;
      if (leftOutside != 0 && rightOutside != 0) {
        const auto leftSize = static_cast<std::size_t>(std::countl_zero(leftOutside << (32 - kStep)));
        auto rightSize = static_cast<std::size_t>(std::countr_zero(rightOutside));
        bool formBeside = false;
        if constexpr (kExtended) {
          formBeside = mayEndDotForm(leftEnd - 1 - leftSize) || mayStartDotForm(rightBegin + rightSize);
          rightSize = withoutFullStop(reinterpret_cast<const char*>(rightStep), rightSize);
        } else {
          const unsigned char before = leftStep[kStep - 1 - leftSize];
          const unsigned char after = rightStep[rightSize];
          formBeside = before == ')' || before == ']' || after == '(' || after == '[';
        }
        if (!formBeside) {
          if (leftSize == 0 || rightSize == 0) return;
          char* const entry = m_entry.reserve(kShortEntry) + kStep;
          lowerLeft16(entry + leftSize - kStep, leftStep);
          entry[leftSize] = '@';
          char* const right = entry + leftSize + 1;
          lowerRight16(right, rightStep);
          finish(entry, right, rightSize, shapeOfShort(right, rightSize), leftEnd - leftSize);
          return;
        }
      }
    }
    longHit(leftEnd, rightBegin);
  }

  // Any other case: walk, then copy.
  [[gnu::noinline]] void longHit(std::size_t leftEnd, std::size_t rightBegin) {
    bool leftForms = false;
    const std::size_t leftBegin = leftStart(leftEnd, leftForms);
    if (leftBegin == leftEnd) return;
    bool rightForms = false;
    const std::size_t rightStop = rightEnd(rightBegin, rightForms);
    if (rightStop == rightBegin) return;
    char* const entry = m_entry.reserve((leftEnd - leftBegin) + 1 + 2 * (rightStop - rightBegin) + 2 * kStep);
    char* out = copyPart<true>(entry, leftBegin, leftEnd, leftForms);
    *out++ = '@';
    auto size = static_cast<std::size_t>(copyPart<false>(out, rightBegin, rightStop, rightForms) - out);
    if constexpr (kExtended) {
      size = withoutFullStop(out, size);
      if (size == 0) return;
    }
    finish(entry, out, size, shapeOf(out, size), leftBegin);
  }

  static bool isKnownTld(std::string_view letters) noexcept {
    if constexpr (kExtended) {
      return detail::isTldLower(letters) || detail::isExtendedTldLower(letters);
    } else {
      return detail::isTldLower(letters);
    }
  }

  // Whether a recognised domain has labels long enough: its first two have
  // two characters or more. Extended rules also take a domain of three
  // labels or more whose first label is not empty and whose label below the
  // top-level one has two characters or more (x@d.umn.edu).
  static bool hasLongEnoughLabels(const char* right, std::size_t size, const RightShape& shape) noexcept {
    if (shape.firstDot >= 2 && shape.secondDot - (shape.firstDot + 1) >= 2) return true;
    if constexpr (kExtended) {
      if (shape.secondDot == size || shape.firstDot == 0) return false;
      std::size_t labelStart = shape.lastDot;  // there is a dot before it
      while (right[labelStart - 1] != '.') --labelStart;
      return shape.lastDot - labelStart >= 2;
    } else {
      return false;
    }
  }

  // Takes the entry written so far: the left part, "@" and the right part
  // in lower-case Windows-1252, with room for every right-part byte to take
  // two, and the right part's shape. Cuts the right part to the address,
  // widens it to UTF-8 and hands the entry over; `begin` is where the text
  // it was read from begins, for a sink that asks.
  void finish(const char* entry, char* right, std::size_t size, const RightShape& shape, std::size_t begin) {
    TargetList target = TargetList::List2;
    std::size_t tldLength = 0;
    if (shape.lastDot != size) {
      const std::size_t tldBegin = shape.lastDot + 1;
      const std::size_t most = std::min(size - tldBegin, kLongestTld + 1);
      while (tldLength < most && (kClassOf[static_cast<unsigned char>(right[tldBegin + tldLength])] & detail::kTld)) {
        ++tldLength;
      }
      if (tldLength > 0 && isKnownTld(std::string_view(right + tldBegin, tldLength))) {
        target = TargetList::List1;
      }
    }
    if (target == TargetList::List1) {
      if (!hasLongEnoughLabels(right, size, shape)) return;
      if (shape.secondDot == size) {
        size = shape.lastDot + 1 + tldLength;
      } else if (shape.doubleDot) {
        size = joinLabels(right, size);
      }
    }
    if (shape.wide) size = widen(right, size);
    const std::string_view text(entry, static_cast<std::size_t>(right - entry) + size);
    m_reply = m_origins ? m_sink.addEntryFrom(target, text, EntryOrigin{m_textOffset + begin, {}})
                        : m_sink.addEntry(target, text);
  }

  // The room the usual case needs: a step before the entry, whose left part
  // is stored from its step's start, and at most 15 + 1 + 2 * 15 + 15 more.
  static constexpr std::size_t kShortEntry = 5 * kStep;
  static constexpr std::size_t kMarkEvery = 16;

  const unsigned char* m_text;
  std::size_t m_size;
  EntrySink& m_sink;
  std::uint64_t m_textOffset;               // where the text starts in a longer one
  bool m_origins;                           // the sink wants to know where entries were read
  SinkReply m_reply = SinkReply::Continue;  // the sink's answer to the last entry
  std::size_t m_blankAtEnd = 0;             // end of the last " at " taken as "@"
  EntryBuffer m_entry;                      // the entry being built
  // Extended rules: the last run of forms between blanks (isTakenBlankForm).
  struct FormRun {
    std::vector<std::size_t> marks;  // its first member, then every kMarkEvery-th
    std::size_t last = 0;            // its last member known
    std::size_t count = 0;           // members from the first to `last`
  };
  struct NoFormRun {};
  [[no_unique_address]] std::conditional_t<kExtended, FormRun, NoFormRun> m_run;
};

}  // namespace

SinkReply extractAddresses(std::string_view scanText, EntrySink& sink, ScanRules rules) {
  return extractAddresses(scanText, sink, rules, 0);
}

SinkReply extractAddresses(std::string_view scanText, EntrySink& sink, ScanRules rules, std::uint64_t textOffset) {
  if (rules == ScanRules::Extended) return Scanner<ScanRules::Extended>(scanText, sink, textOffset).run();
  return Scanner<ScanRules::Specified>(scanText, sink, textOffset).run();
}

}  // namespace mailsift
