// Text in the character sets that mail and web pages declare, converted to
// UTF-8 as it streams: UTF-8, US-ASCII, ISO-8859-1, ISO-8859-15,
// Windows-1252 and UTF-16; any other name is read as Windows-1252.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mailsift {

// The decoders behind the names.
enum class Charset : unsigned char {
  Utf8,         // UTF-8; a byte that starts no valid sequence is read as Windows-1252
  Windows1252,  // also ISO-8859-1 and every unknown name, as browsers read them
  Latin9,       // ISO-8859-15
  Utf16,        // byte order from a byte-order mark, big-endian without one
  Utf16Le,
  Utf16Be,
};

// The decoder for the charset `name`, a MIME or IANA name in any case, with
// or without quotes ("utf-8", "UTF8", "us-ascii", "latin1", "cp1252",
// "ISO_8859-15", "utf-16le" ...). US-ASCII is read as UTF-8, since 8-bit
// text labelled US-ASCII is usually UTF-8 or Latin-1, which the UTF-8
// decoder both reads. Empty and unknown names give Windows1252.
Charset charsetNamed(std::string_view name) noexcept;

// A converter of one text, given in pieces, to UTF-8. Every output is
// valid UTF-8: a sequence that cannot be decoded becomes U+FFFD (or, in
// UTF-8 input, its bytes read as Windows-1252). A byte-order mark at the
// start of the text is dropped. One object converts one text, on one thread
// at a time; it holds at most three bytes between calls.
class Utf8Converter {
 public:
  explicit Utf8Converter(Charset charset) noexcept : m_charset(charset) {}
  explicit Utf8Converter(std::string_view charsetName) noexcept : m_charset(charsetNamed(charsetName)) {}

  Charset charset() const noexcept { return m_charset; }

  // Appends the UTF-8 of the next piece of text, `bytes`, to `out`. A
  // sequence cut at the end of `bytes` is kept and completed by the next
  // call.
  void toUtf8(std::string_view bytes, std::string& out);

  // Ends the text: appends what a sequence cut by the end stands for. The
  // converter may then start a new text.
  void finish(std::string& out);

 private:
  void utf8ToUtf8(std::string_view bytes, std::string& out);
  void utf16ToUtf8(std::string_view bytes, std::string& out);
  void singleByteToUtf8(std::string_view bytes, std::string& out) const;

  Charset m_charset;
  bool m_started = false;           // a byte-order mark is looked for before the first character
  bool m_littleEndian = false;      // UTF-16: the byte order, fixed at the first character
  unsigned char m_pending[4] = {};  // the start of a sequence cut by the end of a piece
  std::size_t m_pendingSize = 0;
  char16_t m_highSurrogate = 0;  // UTF-16: the first half of a pair, waiting for its second
};

// `bytes`, a whole text in the charset `charsetName`, in UTF-8.
std::string toUtf8(std::string_view charsetName, std::string_view bytes);

// Appends the UTF-8 of the code point `character` (U+FFFD for a surrogate
// or a value past U+10FFFF) to `out`.
void appendUtf8(char32_t character, std::string& out);

}  // namespace mailsift
