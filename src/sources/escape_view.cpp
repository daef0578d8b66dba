// Undoing escapes as a text streams.
#include "sources/escape_view.h"

#include <algorithm>
#include <array>

#include "decode/character_references.h"
#include "decode/single_byte_text.h"

namespace mailsift {
namespace {

constexpr std::size_t kLongestReference = 32;  // "&" name ";" longer than this is no reference

// URL escapes of the characters an address may hold besides letters and
// digits; other escapes stay as they are.
struct UrlEscape {
  char high;
  char low;
  char byte;
};
constexpr std::array<UrlEscape, 5> kUrlEscapes{
    {{'4', '0', '@'}, {'2', 'e', '.'}, {'2', 'd', '-'}, {'5', 'f', '_'}, {'2', 'b', '+'}}};

char lowered(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

// The first "&", "%" or "\\" at or after `from`, or std::string_view::npos.
// (string_view::find_first_of looks up the set once per byte of the text.)
std::size_t findEscapeStart(std::string_view text, std::size_t from) noexcept {
  for (std::size_t i = from; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '&' || c == '%' || c == '\\') return i;
  }
  return std::string_view::npos;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) noexcept {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) { return a == lowered(b); });
}

}  // namespace

// Looks closer only where one of the three bytes that start an escape
// stands, found by the library's vectorised search: this runs on the first
// bytes of every file.
bool holdsEscapes(std::string_view head) noexcept {
  const auto startsEscape = [head](std::size_t at) {
    const std::string_view rest = head.substr(at);
    switch (rest[0]) {
      case '&':
        return rest.starts_with("&#") || startsWithNoCase(rest, "&commat;") || startsWithNoCase(rest, "&period;");
      case '%':
        return startsWithNoCase(rest, "%40") || startsWithNoCase(rest, "%2e");
      default:
        return rest.starts_with("\\-") || rest.starts_with("\\(at");
    }
  };
  for (const char mark : {'&', '%', '\\'}) {
    for (std::size_t at = head.find(mark); at != std::string_view::npos; at = head.find(mark, at + 1)) {
      if (startsEscape(at)) return true;
    }
  }
  return false;
}

std::size_t EscapeDecoder::undo(std::string_view text, bool atEnd, std::string& out) const {
  switch (text[0]) {
    case '&': {
      const std::size_t semicolon = text.find(';');
      if (semicolon == std::string_view::npos) {
        if (!atEnd && text.size() < kLongestReference) return 0;
        break;
      }
      if (const std::optional<DecodedReference> reference = decodeCharacterReference(text)) {
        out.push_back(windows1252ByteOf(reference->character, m_replacement));
        return reference->length;
      }
      break;
    }
    case '%': {
      if (text.size() < 3) {
        if (!atEnd) return 0;
        break;
      }
      const char high = text[1];
      const char low = lowered(text[2]);
      const auto* escape = std::find_if(kUrlEscapes.begin(), kUrlEscapes.end(),
                                        [&](const UrlEscape& e) { return e.high == high && e.low == low; });
      if (escape != kUrlEscapes.end()) {
        out.push_back(escape->byte);
        return 3;
      }
      break;
    }
    case '\\': {
      if (text.size() < 4 && !atEnd) return 0;
      if (text.size() >= 2 && text[1] == '-') {
        out.push_back('-');
        return 2;
      }
      if (text.size() >= 2 && (text[1] == '&' || text[1] == '%' || text[1] == ':')) return 2;  // zero width
      if (text.substr(0, 4) == "\\(at") {
        out.push_back('@');
        return 4;
      }
      break;
    }
    default:
      break;
  }
  out.push_back(text[0]);
  return 1;
}

void EscapeDecoder::decode(std::string_view piece, std::string& out) {
  std::string joined;
  if (!m_pending.empty()) {
    joined = std::move(m_pending);
    m_pending.clear();
    joined.append(piece);
    piece = joined;
  }
  std::size_t i = 0;
  while (i < piece.size()) {
    const std::size_t plain = findEscapeStart(piece, i);
    const std::size_t end = plain == std::string_view::npos ? piece.size() : plain;
    out.append(piece.data() + i, end - i);
    i = end;
    if (i >= piece.size()) break;
    const std::size_t taken = undo(piece.substr(i), false, out);
    if (taken == 0) {
      m_pending.assign(piece.substr(i));
      return;
    }
    i += taken;
  }
}

void EscapeDecoder::finish(std::string& out) {
  std::string_view rest = m_pending;
  while (!rest.empty()) rest.remove_prefix(undo(rest, true, out));
  m_pending.clear();
}

}  // namespace mailsift
