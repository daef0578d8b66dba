// UTF-8 and UTF-16 to Windows-1252: recognising the encoding from a text's
// first bytes, and turning the text into one byte per character as it
// streams.
#include "decode/single_byte_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mailsift {
namespace {

// Windows-1252's bytes 0x80 to 0x9F, by the character each stands for; the
// five unused bytes are left out.
struct SpecialByte {
  char16_t character;
  unsigned char byte;
};
constexpr std::array<SpecialByte, 27> kSpecialBytes{{
    {0x0152, 0x8C}, {0x0153, 0x9C}, {0x0160, 0x8A}, {0x0161, 0x9A}, {0x0178, 0x9F}, {0x017D, 0x8E}, {0x017E, 0x9E},
    {0x0192, 0x83}, {0x02C6, 0x88}, {0x02DC, 0x98}, {0x2013, 0x96}, {0x2014, 0x97}, {0x2018, 0x91}, {0x2019, 0x92},
    {0x201A, 0x82}, {0x201C, 0x93}, {0x201D, 0x94}, {0x201E, 0x84}, {0x2020, 0x86}, {0x2021, 0x87}, {0x2022, 0x95},
    {0x2026, 0x85}, {0x2030, 0x89}, {0x2039, 0x8B}, {0x203A, 0x9B}, {0x20AC, 0x80}, {0x2122, 0x99},
}};

// What decodeUtf8 found at a place: a character of `length` bytes, a
// sequence cut off by the end of the bytes at hand, or no valid sequence.
constexpr int kIncomplete = 0;
constexpr int kInvalid = -1;

// Decodes the UTF-8 sequence at the start of `bytes` (at least one byte,
// the first 0x80 or above) into `character`; returns its length or one of
// the two markers. Overlong forms, surrogates and values past U+10FFFF are
// invalid.
int decodeUtf8(const unsigned char* bytes, std::size_t available, char32_t& character) noexcept {
  const unsigned char lead = bytes[0];
  int length = 0;
  unsigned char low = 0x80;  // the range of the second byte
  unsigned char high = 0xBF;
  if (lead < 0xC2) return kInvalid;
  if (lead < 0xE0) {
    length = 2;
    character = lead & 0x1Fu;
  } else if (lead < 0xF0) {
    length = 3;
    character = lead & 0x0Fu;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead < 0xF5) {
    length = 4;
    character = lead & 0x07u;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return kInvalid;
  }
  for (int k = 1; k < length; ++k) {
    if (static_cast<std::size_t>(k) >= available) return kIncomplete;
    const unsigned char next = bytes[k];
    if (k == 1 ? (next < low || next > high) : (next & 0xC0u) != 0x80u) return kInvalid;
    character = (character << 6) | (next & 0x3Fu);
  }
  return length;
}

// The length of the run of ASCII bytes at the start of `bytes`, sixteen at a
// time while it lasts.
std::size_t asciiRun(const unsigned char* bytes, std::size_t size) noexcept {
  std::size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= size; i += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    if (const int high = _mm_movemask_epi8(block); high != 0)
      return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(high)));
  }
#endif
  for (; i + 8 <= size; i += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes + i, 8);
    if ((word & 0x8080808080808080u) != 0) break;
  }
  while (i < size && bytes[i] < 0x80) ++i;
  return i;
}

// How much of a text's first bytes the look for UTF-8 reads.
constexpr std::size_t kUtf8Look = std::size_t{16} << 10;

bool looksLikeUtf16(std::string_view head, bool& littleEndian) noexcept {
  const std::size_t pairs = std::min<std::size_t>(head.size(), 4096) / 2;
  // Most texts hold no zero byte at all: one fast search tells.
  if (pairs < 4 || head.substr(0, 2 * pairs).find('\0') == std::string_view::npos) return false;
  std::size_t zeroEven = 0;
  std::size_t zeroOdd = 0;
  for (std::size_t i = 0; i < pairs; ++i) {
    if (head[2 * i] == '\0') ++zeroEven;
    if (head[2 * i + 1] == '\0') ++zeroOdd;
  }
  // Text in a Latin script has a zero in nearly every other byte; binary
  // data has zeros in both places.
  if (zeroOdd * 10 >= pairs * 3 && zeroEven * 20 <= pairs) {
    littleEndian = true;
    return true;
  }
  if (zeroEven * 10 >= pairs * 3 && zeroOdd * 20 <= pairs) {
    littleEndian = false;
    return true;
  }
  return false;
}

bool looksLikeUtf8(std::string_view head) noexcept {
  head = head.substr(0, kUtf8Look);
  const auto* bytes = reinterpret_cast<const unsigned char*>(head.data());
  std::size_t valid = 0;
  std::size_t invalid = 0;
  for (std::size_t i = 0; i < head.size();) {
    i += asciiRun(bytes + i, head.size() - i);
    if (i >= head.size()) break;
    char32_t character = 0;
    const int length = decodeUtf8(bytes + i, head.size() - i, character);
    if (length == kIncomplete) break;  // cut off by the end of the head
    if (length == kInvalid) {
      // Text in a single-byte encoding: its letters are invalid one by one.
      if (++invalid > 16 && invalid * 50 > valid) return false;
      ++i;
    } else {
      ++valid;
      i += static_cast<std::size_t>(length);
    }
  }
  return valid > 0 && invalid * 50 <= valid;
}

}  // namespace

TextEncoding recogniseEncoding(std::string_view head) noexcept {
  if (head.starts_with("\xEF\xBB\xBF")) return TextEncoding::Utf8;
  if (head.starts_with("\xFF\xFE") && !head.starts_with(std::string_view("\xFF\xFE\0\0", 4))) {
    return TextEncoding::Utf16LE;
  }
  if (head.starts_with("\xFE\xFF")) return TextEncoding::Utf16BE;
  bool littleEndian = false;
  if (looksLikeUtf16(head, littleEndian)) return littleEndian ? TextEncoding::Utf16LE : TextEncoding::Utf16BE;
  return looksLikeUtf8(head) ? TextEncoding::Utf8 : TextEncoding::Windows1252;
}

char windows1252ByteOf(char32_t character, char replacement) noexcept {
  if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) return static_cast<char>(character);
  const auto found = std::lower_bound(kSpecialBytes.begin(), kSpecialBytes.end(), character,
                                      [](const SpecialByte& special, char32_t c) { return special.character < c; });
  if (found != kSpecialBytes.end() && found->character == character) return static_cast<char>(found->byte);
  return replacement;
}

void SingleByteTranscoder::transcode(std::string_view piece, std::string& out) {
  if (m_encoding == TextEncoding::Utf8) {
    fromUtf8(piece, out);
  } else if (m_encoding == TextEncoding::Windows1252) {
    out.append(piece);
  } else {
    fromUtf16(piece, out);
  }
}

void SingleByteTranscoder::fromUtf8(std::string_view piece, std::string& out) {
  // A character cut by the end of the last piece: finish it with the bytes
  // it needs from this one, then go on as usual.
  while (m_pendingSize > 0 && !piece.empty()) {
    m_pending[m_pendingSize++] = piece.front();
    piece.remove_prefix(1);
    char32_t character = 0;
    const int length = decodeUtf8(reinterpret_cast<const unsigned char*>(m_pending), m_pendingSize, character);
    if (length == kIncomplete) continue;
    if (length > 0) {
      putCharacter(character, out);
      m_pendingSize = 0;
    } else {
      // Not a sequence: the first byte stands for itself; the others are
      // looked at again as the start of what follows.
      m_started = true;
      out.push_back(m_pending[0]);
      const std::string_view rest(m_pending + 1, m_pendingSize - 1);
      m_pendingSize = 0;
      std::string again(rest);
      again.append(piece);
      fromUtf8(again, out);
      return;
    }
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(piece.data());
  const std::size_t size = piece.size();
  for (std::size_t i = 0; i < size;) {
    const std::size_t run = asciiRun(bytes + i, size - i);
    out.append(piece.data() + i, run);
    if (run > 0) m_started = true;
    i += run;
    if (i >= size) break;
    char32_t character = 0;
    const int length = decodeUtf8(bytes + i, size - i, character);
    if (length == kIncomplete) {
      m_pendingSize = size - i;
      std::memcpy(m_pending, piece.data() + i, m_pendingSize);
      return;
    }
    if (length == kInvalid) {
      m_started = true;
      out.push_back(piece[i]);
      ++i;
    } else {
      putCharacter(character, out);
      i += static_cast<std::size_t>(length);
    }
  }
}

void SingleByteTranscoder::putCharacter(char32_t character, std::string& out) {
  // A byte order mark at the very start is no character of the text.
  if (!m_started) {
    m_started = true;
    if (character == 0xFEFF) return;
  }
  out.push_back(windows1252ByteOf(character, m_replacement));
}

void SingleByteTranscoder::putCodeUnit(char16_t unit, std::string& out) {
  if (!m_started) {
    m_started = true;
    if (unit == 0xFEFF) return;
  }
  const bool isHigh = unit >= 0xD800 && unit <= 0xDBFF;
  const bool isLow = unit >= 0xDC00 && unit <= 0xDFFF;
  if (m_highSurrogate != 0) {
    // A pair stands for a character past U+FFFF, which Windows-1252 lacks;
    // a lone high surrogate for nothing valid either.
    m_highSurrogate = 0;
    out.push_back(m_replacement);
    if (isLow) return;
  }
  if (isHigh) {
    m_highSurrogate = unit;
  } else if (isLow) {
    out.push_back(m_replacement);
  } else {
    out.push_back(windows1252ByteOf(unit, m_replacement));
  }
}

void SingleByteTranscoder::fromUtf16(std::string_view piece, std::string& out) {
  const bool little = m_encoding == TextEncoding::Utf16LE;
  const auto unitOf = [little](unsigned char first, unsigned char second) {
    return static_cast<char16_t>(little ? first | (second << 8) : (first << 8) | second);
  };
  std::size_t i = 0;
  if (m_pendingSize == 1 && !piece.empty()) {
    putCodeUnit(unitOf(static_cast<unsigned char>(m_pending[0]), static_cast<unsigned char>(piece[0])), out);
    m_pendingSize = 0;
    i = 1;
  }
  for (; i + 2 <= piece.size(); i += 2) {
    putCodeUnit(unitOf(static_cast<unsigned char>(piece[i]), static_cast<unsigned char>(piece[i + 1])), out);
  }
  if (i < piece.size()) {
    m_pending[0] = piece[i];
    m_pendingSize = 1;
  }
}

void SingleByteTranscoder::finish(std::string& out) {
  if (m_encoding == TextEncoding::Utf8) {
    // An unfinished sequence: its lead and the continuation bytes after it
    // cannot start a sequence, so each stands for itself.
    out.append(m_pending, m_pendingSize);
    m_pendingSize = 0;
  } else if (m_encoding != TextEncoding::Windows1252) {
    if (m_highSurrogate != 0) out.push_back(m_replacement);
    if (m_pendingSize == 1) out.push_back(m_replacement);
    m_highSurrogate = 0;
    m_pendingSize = 0;
  }
}

}  // namespace mailsift
