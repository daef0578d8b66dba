// Base64 through a table of the alphabet; quoted-printable as a copy up to
// each "=", whose escape may straddle two pieces.
#include "decode/transfer_encoding.h"

#include <array>
#include <cstring>

namespace mailsift {
namespace {

constexpr unsigned char kSkip = 0xFF;
constexpr unsigned char kPad = 0xFE;
constexpr std::size_t kMostBlanksAfterEquals = 80;

constexpr std::array<unsigned char, 256> base64Values() {
  std::array<unsigned char, 256> values{};
  for (unsigned char& value : values) value = kSkip;
  constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (std::size_t i = 0; i < kAlphabet.size(); ++i)
    values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<unsigned char>(i);
  values['='] = kPad;
  return values;
}

constexpr std::array<unsigned char, 256> kBase64Values = base64Values();

int hexValue(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

void Base64Decoder::decode(std::string_view encoded, std::string& out) {
  // A group of four gives three bytes, a group cut short by padding fewer,
  // and the group begun before this piece at most three: room enough.
  std::size_t size = out.size();
  out.resize(size + (encoded.size() / 4 + 1) * 3);
  for (const char c : encoded) {
    const unsigned char value = kBase64Values[static_cast<unsigned char>(c)];
    if (value < 64) {
      m_bits = m_bits << 6 | value;
      if (++m_count == 4) {
        out[size++] = static_cast<char>(m_bits >> 16);
        out[size++] = static_cast<char>(m_bits >> 8);
        out[size++] = static_cast<char>(m_bits);
        m_count = 0;
        m_bits = 0;
      }
    } else if (value == kPad) {
      size += endGroup(out.data() + size);
    }
  }
  out.resize(size);
}

void Base64Decoder::finish(std::string& out) {
  char bytes[2];
  out.append(bytes, endGroup(bytes));
}

std::size_t Base64Decoder::endGroup(char* to) noexcept {
  std::size_t bytes = 0;
  if (m_count == 2) to[bytes++] = static_cast<char>(m_bits >> 4);
  if (m_count == 3) {
    to[bytes++] = static_cast<char>(m_bits >> 10);
    to[bytes++] = static_cast<char>(m_bits >> 2);
  }
  m_count = 0;
  m_bits = 0;
  return bytes;
}

void QuotedPrintableDecoder::decode(std::string_view encoded, std::string& out) {
  std::size_t at = 0;
  while (at < encoded.size()) {
    if (!m_held.empty()) {
      takeHeld(encoded[at++], out);
      continue;
    }
    const void* equals = std::memchr(encoded.data() + at, '=', encoded.size() - at);
    const std::size_t end =
        equals ? static_cast<std::size_t>(static_cast<const char*>(equals) - encoded.data()) : encoded.size();
    out.append(encoded.data() + at, end - at);
    at = end;
    if (at < encoded.size()) {
      m_held = "=";
      ++at;
    }
  }
}

// Takes the byte after a held "=", "=X", "=\r" or "=" and blanks.
void QuotedPrintableDecoder::takeHeld(char next, std::string& out) {
  const bool hexEscape = m_held.size() == 2 && hexValue(m_held[1]) >= 0;
  if (hexEscape && hexValue(next) >= 0) {
    out += static_cast<char>(hexValue(m_held[1]) * 16 + hexValue(next));
    m_held.clear();
    return;
  }
  const char last = m_held.back();
  const bool blank = next == ' ' || next == '\t';
  if (!hexEscape && next == '\n') {
    m_held.clear();  // a soft line break
    return;
  }
  if (m_held.size() == 1 && hexValue(next) >= 0) {
    m_held += next;
    return;
  }
  if (!hexEscape && last != '\r' && (next == '\r' || (blank && m_held.size() < kMostBlanksAfterEquals))) {
    m_held += next;
    return;
  }
  // No escape after all. "=" before a bare CR still breaks softly; anything
  // else stays as written.
  if (hexEscape || last != '\r') out += m_held;
  m_held.clear();
  if (next == '=') {
    m_held = "=";
  } else {
    out += next;
  }
}

void QuotedPrintableDecoder::finish(std::string& out) {
  if (m_held.size() == 2 && hexValue(m_held[1]) >= 0) out += m_held;
  m_held.clear();
}

}  // namespace mailsift
