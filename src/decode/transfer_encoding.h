// The content transfer encodings of mail, base64 and quoted-printable,
// decoded as they stream and forgiving of what mail programs get wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mailsift {

// Decodes base64 given in pieces. Line breaks, blanks and any other byte
// outside the alphabet are passed over. Padding ends a group early, after
// which decoding starts afresh, so that pieces of base64 written one after
// the other decode too; missing padding at the end is no fault. One object
// decodes one stream, on one thread at a time.
class Base64Decoder {
 public:
  // Appends the bytes that `encoded`, the next piece, completes to `out`.
  void decode(std::string_view encoded, std::string& out);
  // Ends the stream: appends the bytes of an unpadded last group.
  void finish(std::string& out);

 private:
  // Writes the bytes of the group begun (none, one or two) to `to` and
  // returns their count.
  std::size_t endGroup(char* to) noexcept;

  std::uint32_t m_bits = 0;  // the six-bit values of the group begun
  unsigned m_count = 0;      // how many there are (0 to 3)
};

// Decodes quoted-printable given in pieces: "=XX" (either case) is a byte,
// "=" at the end of a line (before CR LF or LF, blanks between allowed) joins
// the line to the next, everything else stays as it is, "=" that starts no
// valid escape among it. One object decodes one stream, on one thread at a
// time.
class QuotedPrintableDecoder {
 public:
  // Appends the decoded bytes of `encoded`, the next piece, to `out`; an
  // escape cut at its end is completed by the next piece.
  void decode(std::string_view encoded, std::string& out);
  // Ends the stream: an "=" at the very end is a soft line break; a cut
  // escape stays as written.
  void finish(std::string& out);

 private:
  void takeHeld(char next, std::string& out);

  std::string m_held;  // an escape begun: "=", "=X", "=\r" or "=" and blanks
};

}  // namespace mailsift
