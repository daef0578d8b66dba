// Escaping names for display and leaving passwords out of web addresses.
#include "app/display_text.h"

#include <algorithm>

namespace mailsift {
namespace {

void appendHex(std::string& out, std::string_view prefix, unsigned char byte) {
  constexpr char kDigits[] = "0123456789abcdef";
  out.append(prefix);
  out.push_back(kDigits[byte >> 4]);
  out.push_back(kDigits[byte & 0x0F]);
}

}  // namespace

std::size_t utf8Length(std::string_view text) noexcept {
  if (text.empty()) return 0;
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = at(0);
  std::size_t length = 0;
  unsigned char low = 0x80;  // the range of the second byte
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < length || at(1) < low || at(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if ((at(i) & 0xC0) != 0x80) return 0;
  }
  return length;
}

std::string escapeControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x20 && byte < 0x7F) {
      out.push_back(static_cast<char>(byte));
      ++i;
      continue;
    }
    if (byte < 0x80) {
      if (byte == '\n') {
        out.append("\\n");
      } else if (byte == '\r') {
        out.append("\\r");
      } else if (byte == '\t') {
        out.append("\\t");
      } else {
        appendHex(out, "\\x", byte);
      }
      ++i;
      continue;
    }
    const std::size_t length = utf8Length(text.substr(i));
    if (length == 0) {
      appendHex(out, "\\x", byte);
      ++i;
    } else if (byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      // U+0080 to U+009F: a terminal may take U+009B as the start of a command.
      appendHex(out, "\\u00", static_cast<unsigned char>(text[i + 1]));
      i += 2;
    } else {
      out.append(text.substr(i, length));
      i += length;
    }
  }
  return out;
}

std::string hidePasswords(std::string_view text) {
  std::string out;
  std::size_t done = 0;  // text before this is in `out`
  for (std::size_t scheme = text.find("://"); scheme != std::string_view::npos; scheme = text.find("://", scheme + 3)) {
    const std::size_t start = scheme + 3;
    const std::size_t end = std::min(text.find_first_of("/?# \t\r\n", start), text.size());
    const std::string_view authority = text.substr(start, end - start);
    const std::size_t at = authority.rfind('@');
    if (at == std::string_view::npos) continue;
    const std::size_t colon = authority.substr(0, at).find(':');
    if (colon == std::string_view::npos) continue;
    out.append(text.substr(done, start + colon - done));
    done = start + at;  // from the "@" on
  }
  out.append(text.substr(done));
  return out;
}

std::string displayName(std::string_view pathOrUrl) { return escapeControls(hidePasswords(pathOrUrl)); }

}  // namespace mailsift
