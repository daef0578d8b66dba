// Character references and named entities of HTML and XML, shared by the
// markup reader and the escape view.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace mailsift {

// A decoded reference: the character and how many bytes of the text it took.
struct DecodedReference {
  char32_t character = 0;
  std::size_t length = 0;
};

// Decodes the reference at the start of `text`, which begins with "&":
// "&#64;", "&#x40;", "&commat;", "&period;", "&amp;", "&lt;", "&gt;",
// "&quot;", "&apos;", "&nbsp;" and the other HTML names of characters that
// may matter in an address or around one (letters with accents among them).
// The ";" is required. std::nullopt when `text` starts no known reference
// or names no valid character.
std::optional<DecodedReference> decodeCharacterReference(std::string_view text) noexcept;

}  // namespace mailsift
