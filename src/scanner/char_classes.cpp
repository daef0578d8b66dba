// The public character questions, answered from the compile-time tables.
#include "scanner/char_classes.h"

#include "scanner/detail/char_table.h"

namespace mailsift {
namespace {

bool isMember(std::string_view character, unsigned char classBit) {
  return character.size() == 1 && (detail::kClassOf[static_cast<unsigned char>(character[0])] & classBit) != 0;
}

}  // namespace

bool MailzeichenLinks(std::string_view character) noexcept { return isMember(character, detail::kLeft); }
bool MailzeichenRechts(std::string_view character) noexcept { return isMember(character, detail::kRight); }
bool MailzeichenTLD(std::string_view character) noexcept { return isMember(character, detail::kTld); }

unsigned char lowerCp1252(unsigned char byte) noexcept { return detail::kLowerOf[byte]; }

std::string cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const auto byte = static_cast<unsigned char>(ch);
    const char32_t code = (byte >= 0x80 && byte < 0xA0) ? detail::kCp1252High[byte - 0x80u] : byte;
    if (code < 0x80) {
      out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (code >> 6)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (code >> 12)));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
  return out;
}

}  // namespace mailsift
