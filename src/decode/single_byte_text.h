// Text stored as UTF-8 or UTF-16, turned into Windows-1252 bytes for readers
// that take one byte per character: every character Windows-1252 has
// becomes its byte, every other one a replacement byte the caller chooses.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mailsift {

enum class TextEncoding : unsigned char { Windows1252, Utf8, Utf16LE, Utf16BE };

// The encoding the first bytes of a text show: a byte order mark; for
// UTF-16 without one, zero bytes in every other place; for UTF-8, valid
// sequences of two to four bytes and almost no invalid ones. Anything else,
// plain ASCII included, is Windows1252 (a text it leaves unchanged).
TextEncoding recogniseEncoding(std::string_view head) noexcept;

// The Windows-1252 byte of a character, or `replacement` for one that
// Windows-1252 lacks (and for the C1 controls U+0080 to U+009F).
char windows1252ByteOf(char32_t character, char replacement) noexcept;

// Turns a text arriving in pieces into Windows-1252, piece by piece; a
// character split between pieces comes out whole. UTF-8 bytes that form no
// valid sequence are taken as Windows-1252 bytes themselves, so text in
// that encoding mixed in passes unchanged. A leading byte order mark is
// dropped. One object per text; not thread-safe.
class SingleByteTranscoder {
 public:
  SingleByteTranscoder(TextEncoding encoding, char replacement) noexcept
      : m_encoding(encoding), m_replacement(replacement) {}

  // Appends the Windows-1252 form of `piece` to `out`.
  void transcode(std::string_view piece, std::string& out);
  // Appends what an unfinished character at the end of the text gives.
  void finish(std::string& out);

 private:
  void fromUtf8(std::string_view piece, std::string& out);
  void fromUtf16(std::string_view piece, std::string& out);
  void putCharacter(char32_t character, std::string& out);
  void putCodeUnit(char16_t unit, std::string& out);

  TextEncoding m_encoding;
  char m_replacement;
  bool m_started = false;  // a character has come: a byte order mark now is a character
  char m_pending[4] = {};  // bytes of a character not complete yet
  std::size_t m_pendingSize = 0;
  char16_t m_highSurrogate = 0;  // UTF-16: a high surrogate waiting for its pair
};

}  // namespace mailsift
