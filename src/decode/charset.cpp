// The charset decoders: UTF-8 checked and passed on, UTF-16 paired up, the
// single-byte sets through their tables above 0x7F.
#include "decode/charset.h"

#include <algorithm>
#include <array>

namespace mailsift {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Windows-1252 at 0x80..0x9F; its five unassigned bytes stay C1 controls, as
// browsers read them.
constexpr std::array<char16_t, 32> kWindows1252High = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                       0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t windows1252(unsigned char byte) noexcept {
  if (byte >= 0x80 && byte < 0xA0) return kWindows1252High[byte - 0x80];
  return byte;
}

// ISO-8859-15 is ISO-8859-1 but for eight bytes.
char32_t latin9(unsigned char byte) noexcept {
  switch (byte) {
    case 0xA4:
      return 0x20AC;
    case 0xA6:
      return 0x0160;
    case 0xA8:
      return 0x0161;
    case 0xB4:
      return 0x017D;
    case 0xB8:
      return 0x017E;
    case 0xBC:
      return 0x0152;
    case 0xBD:
      return 0x0153;
    case 0xBE:
      return 0x0178;
    default:
      return byte;
  }
}

// The length of the UTF-8 sequence `lead` starts (0: none) and the range its
// second byte must fall in, which excludes overlong forms, surrogates and
// values past U+10FFFF.
struct Utf8Lead {
  unsigned length;
  unsigned char low;
  unsigned char high;
};

Utf8Lead utf8Lead(unsigned char lead) noexcept {
  if (lead >= 0xC2 && lead <= 0xDF) return {2, 0x80, 0xBF};
  if (lead == 0xE0) return {3, 0xA0, 0xBF};
  if (lead == 0xED) return {3, 0x80, 0x9F};
  if (lead >= 0xE1 && lead <= 0xEF) return {3, 0x80, 0xBF};
  if (lead == 0xF0) return {4, 0x90, 0xBF};
  if (lead >= 0xF1 && lead <= 0xF3) return {4, 0x80, 0xBF};
  if (lead == 0xF4) return {4, 0x80, 0x8F};
  return {0, 0, 0};
}

std::size_t asciiRun(const unsigned char* bytes, std::size_t size) noexcept {
  std::size_t run = 0;
  while (run < size && bytes[run] < 0x80) ++run;
  return run;
}

// Decodes UTF-8 from `bytes` into `out` and returns how many bytes it took:
// all of them, unless they end in the valid start of a sequence and more may
// follow (`more`).
std::size_t decodeUtf8(const unsigned char* bytes, std::size_t size, bool more, std::string& out) {
  std::size_t at = 0;
  while (at < size) {
    const std::size_t run = asciiRun(bytes + at, size - at);
    out.append(reinterpret_cast<const char*>(bytes + at), run);
    at += run;
    if (at == size) break;
    const Utf8Lead lead = utf8Lead(bytes[at]);
    std::size_t length = 1;
    while (length < lead.length && at + length < size) {
      const unsigned char next = bytes[at + length];
      const bool fits = length == 1 ? next >= lead.low && next <= lead.high : (next & 0xC0) == 0x80;
      if (!fits) break;
      ++length;
    }
    if (lead.length > 0 && length == lead.length) {
      out.append(reinterpret_cast<const char*>(bytes + at), length);
      at += length;
    } else if (lead.length > 0 && at + length == size && more) {
      return at;
    } else {
      appendUtf8(windows1252(bytes[at]), out);
      ++at;
    }
  }
  return at;
}

std::string normalisedName(std::string_view name) {
  std::string key;
  for (const char c : name) {
    if (c == '-' || c == '_' || c == '"' || c == '\'' || c == ' ' || c == '\t') continue;
    key += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  return key;
}

}  // namespace

void appendUtf8(char32_t character, std::string& out) {
  if ((character >= 0xD800 && character <= 0xDFFF) || character > 0x10FFFF) character = kReplacement;
  if (character < 0x80) {
    out += static_cast<char>(character);
  } else if (character < 0x800) {
    out += static_cast<char>(0xC0 | (character >> 6));
    out += static_cast<char>(0x80 | (character & 0x3F));
  } else if (character < 0x10000) {
    out += static_cast<char>(0xE0 | (character >> 12));
    out += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (character & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (character >> 18));
    out += static_cast<char>(0x80 | ((character >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (character & 0x3F));
  }
}

Charset charsetNamed(std::string_view name) noexcept {
  const std::string key = normalisedName(name);
  if (key == "utf8" || key == "usascii" || key == "ascii" || key == "ansix3.41968" || key == "iso646us" ||
      key == "csascii" || key == "unicode11utf8")
    return Charset::Utf8;
  if (key == "iso885915" || key == "latin9" || key == "l9" || key == "csisolatin9") return Charset::Latin9;
  if (key == "utf16" || key == "ucs2" || key == "csunicode") return Charset::Utf16;
  if (key == "utf16le") return Charset::Utf16Le;
  if (key == "utf16be") return Charset::Utf16Be;
  return Charset::Windows1252;
}

void Utf8Converter::toUtf8(std::string_view bytes, std::string& out) {
  switch (m_charset) {
    case Charset::Utf8:
      utf8ToUtf8(bytes, out);
      return;
    case Charset::Utf16:
    case Charset::Utf16Le:
    case Charset::Utf16Be:
      utf16ToUtf8(bytes, out);
      return;
    case Charset::Windows1252:
    case Charset::Latin9:
      singleByteToUtf8(bytes, out);
      return;
  }
}

void Utf8Converter::finish(std::string& out) {
  if (m_charset == Charset::Utf8 && m_pendingSize > 0) {
    decodeUtf8(m_pending, m_pendingSize, false, out);
  } else if (m_pendingSize > 0 || m_highSurrogate != 0) {
    appendUtf8(kReplacement, out);
  }
  m_pendingSize = 0;
  m_highSurrogate = 0;
  m_started = false;
}

void Utf8Converter::utf8ToUtf8(std::string_view text, std::string& out) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t size = text.size();
  const std::size_t before = out.size();
  // Prologue: complete a sequence cut by the previous piece, a byte at a
  // time; a byte that breaks it leaves the rest to be read again.
  while (m_pendingSize > 0 && size > 0) {
    m_pending[m_pendingSize++] = *bytes++;
    --size;
    const std::size_t taken = decodeUtf8(m_pending, m_pendingSize, true, out);
    std::copy(m_pending + taken, m_pending + m_pendingSize, m_pending);
    m_pendingSize -= taken;
  }
  // Main part; a cut sequence at the end waits for the next piece.
  const std::size_t taken = decodeUtf8(bytes, size, true, out);
  std::copy(bytes + taken, bytes + size, m_pending);
  m_pendingSize += size - taken;
  if (!m_started && out.size() > before) {
    m_started = true;
    if (out.compare(before, 3, "\xEF\xBB\xBF") == 0) out.erase(before, 3);
  }
}

void Utf8Converter::utf16ToUtf8(std::string_view text, std::string& out) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t size = text.size();
  while (m_pendingSize + size >= 2) {
    unsigned char pair[2];
    for (unsigned char& byte : pair) {
      if (m_pendingSize > 0) {
        byte = m_pending[0];
        m_pendingSize = 0;
      } else {
        byte = *bytes++;
        --size;
      }
    }
    if (!m_started) {
      m_littleEndian =
          m_charset == Charset::Utf16Le || (m_charset == Charset::Utf16 && pair[0] == 0xFF && pair[1] == 0xFE);
    }
    const char16_t unit =
        m_littleEndian ? static_cast<char16_t>(pair[0] | pair[1] << 8) : static_cast<char16_t>(pair[0] << 8 | pair[1]);
    const bool isByteOrderMark = !m_started && unit == 0xFEFF;
    m_started = true;
    if (isByteOrderMark) continue;
    if (m_highSurrogate != 0) {
      if (unit >= 0xDC00 && unit <= 0xDFFF) {
        appendUtf8(0x10000 + ((char32_t{m_highSurrogate} - 0xD800) << 10) + (unit - 0xDC00u), out);
        m_highSurrogate = 0;
        continue;
      }
      appendUtf8(kReplacement, out);
      m_highSurrogate = 0;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      m_highSurrogate = unit;
    } else {
      appendUtf8(unit, out);  // a lone second half becomes U+FFFD there
    }
  }
  if (size == 1) m_pending[m_pendingSize++] = *bytes;
}

void Utf8Converter::singleByteToUtf8(std::string_view text, std::string& out) const {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t run = asciiRun(bytes + at, text.size() - at);
    out.append(text.data() + at, run);
    at += run;
    if (at == text.size()) break;
    appendUtf8(m_charset == Charset::Latin9 ? latin9(bytes[at]) : windows1252(bytes[at]), out);
    ++at;
  }
}

std::string toUtf8(std::string_view charsetName, std::string_view bytes) {
  Utf8Converter converter(charsetName);
  std::string out;
  converter.toUtf8(bytes, out);
  converter.finish(out);
  return out;
}

}  // namespace mailsift
