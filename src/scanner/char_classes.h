// The three character classes that decide where a candidate address begins
// and ends, and the Windows-1252 helpers that go with them.
#pragma once

#include <string>
#include <string_view>

namespace mailsift {

// Each answers whether `character`, lower-cased, is a member of its class.
// Anything but exactly one character (the empty text, two characters) is not.
//   MailzeichenLinks:  a-z 0-9 - _ .          (left of the "@")
//   MailzeichenRechts: a-z 0-9 - ü ö ä .      (right of the "@")
//   MailzeichenTLD:    a-z                    (the top-level domain)
// Characters are Windows-1252 bytes, so "Ü" is the one byte 0xDC.
bool MailzeichenLinks(std::string_view character) noexcept;
bool MailzeichenRechts(std::string_view character) noexcept;
bool MailzeichenTLD(std::string_view character) noexcept;

// Lower-cases one Windows-1252 byte: every letter of the code page, so "Ä"
// (0xC4) becomes "ä" (0xE4) and "Ÿ" (0x9F) becomes "ÿ" (0xFF).
unsigned char lowerCp1252(unsigned char byte) noexcept;

// Converts Windows-1252 text to UTF-8.
std::string cp1252ToUtf8(std::string_view text);

}  // namespace mailsift
