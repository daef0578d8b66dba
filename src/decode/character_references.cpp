// Numeric references and a sorted table of the named ones, looked up by
// binary search. The table holds the names that can stand in or around an
// address: the punctuation an address is made of or obfuscated with, spaces
// and zero-width characters, and the Latin-1 letters with accents.
#include "decode/character_references.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace mailsift {
namespace {

struct NamedReference {
  std::string_view name;
  char32_t character;
};

// The Latin-1 names in the order of their characters, U+00A0 to U+00FF.
constexpr std::array<std::string_view, 96> kLatin1Names = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",   "ordf",
    "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",   "acute",  "micro",
    "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave",
    "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",
    "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",
    "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute",
    "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave",
    "iacute", "icirc",  "iuml",   "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide",
    "oslash", "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

// The rest: ASCII punctuation, typographic marks and invisible characters.
// "hyphen" and "dash" are U+2010 as in HTML, not the ASCII "-".
constexpr std::array<NamedReference, 56> kOtherNames = {{
    {"Tab", 0x09},      {"NewLine", 0x0A}, {"excl", 0x21},    {"quot", 0x22},     {"num", 0x23},      {"dollar", 0x24},
    {"percnt", 0x25},   {"amp", 0x26},     {"apos", 0x27},    {"lpar", 0x28},     {"rpar", 0x29},     {"ast", 0x2A},
    {"plus", 0x2B},     {"comma", 0x2C},   {"period", 0x2E},  {"sol", 0x2F},      {"colon", 0x3A},    {"semi", 0x3B},
    {"lt", 0x3C},       {"equals", 0x3D},  {"gt", 0x3E},      {"quest", 0x3F},    {"commat", 0x40},   {"lsqb", 0x5B},
    {"lbrack", 0x5B},   {"bsol", 0x5C},    {"rsqb", 0x5D},    {"rbrack", 0x5D},   {"Hat", 0x5E},      {"lowbar", 0x5F},
    {"UnderBar", 0x5F}, {"grave", 0x60},   {"lcub", 0x7B},    {"lbrace", 0x7B},   {"verbar", 0x7C},   {"vert", 0x7C},
    {"rcub", 0x7D},     {"rbrace", 0x7D},  {"OElig", 0x152},  {"oelig", 0x153},   {"Scaron", 0x160},  {"scaron", 0x161},
    {"Yuml", 0x178},    {"ensp", 0x2002},  {"emsp", 0x2003},  {"thinsp", 0x2009}, {"zwnj", 0x200C},   {"zwj", 0x200D},
    {"hyphen", 0x2010}, {"dash", 0x2010},  {"ndash", 0x2013}, {"mdash", 0x2014},  {"hellip", 0x2026}, {"euro", 0x20AC},
    {"trade", 0x2122},  {"minus", 0x2212},
}};

constexpr auto kNamed = [] {
  std::array<NamedReference, kLatin1Names.size() + kOtherNames.size()> table{};
  std::size_t next = 0;
  for (std::size_t i = 0; i < kLatin1Names.size(); ++i) table[next++] = {kLatin1Names[i], char32_t(0xA0 + i)};
  for (const NamedReference& other : kOtherNames) table[next++] = other;
  std::sort(table.begin(), table.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  return table;
}();

static_assert(std::adjacent_find(kNamed.begin(), kNamed.end(),
                                 [](const auto& a, const auto& b) { return a.name == b.name; }) == kNamed.end(),
              "every name once");

// The longest name in the table, so a lookup never scans far for the ";".
constexpr std::size_t kLongestName = 8;
static_assert(std::all_of(kNamed.begin(), kNamed.end(),
                          [](const auto& entry) { return entry.name.size() <= kLongestName; }));

int digitValue(char c, bool hex) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (!hex) return -1;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool isValidCharacter(std::uint32_t value) noexcept {
  return value != 0 && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
}

// "&#64;" or "&#x40;": `text` starts with "&#".
std::optional<DecodedReference> decodeNumeric(std::string_view text) noexcept {
  std::size_t at = 2;
  const bool hex = at < text.size() && (text[at] == 'x' || text[at] == 'X');
  if (hex) ++at;
  const std::uint32_t base = hex ? 16 : 10;
  const std::size_t firstDigit = at;
  std::uint32_t value = 0;
  for (; at < text.size(); ++at) {
    const int digit = digitValue(text[at], hex);
    if (digit < 0) break;
    value = value * base + static_cast<std::uint32_t>(digit);
    if (value > 0x10FFFF) return std::nullopt;  // also keeps the sum from overflowing
  }
  if (at == firstDigit || at >= text.size() || text[at] != ';' || !isValidCharacter(value)) return std::nullopt;
  return DecodedReference{static_cast<char32_t>(value), at + 1};
}

std::optional<DecodedReference> decodeNamed(std::string_view text) noexcept {
  const std::size_t end = text.substr(0, kLongestName + 2).find(';');
  if (end == std::string_view::npos || end < 2) return std::nullopt;
  const std::string_view name = text.substr(1, end - 1);
  const auto* found =
      std::lower_bound(kNamed.begin(), kNamed.end(), name,
                       [](const NamedReference& entry, std::string_view key) { return entry.name < key; });
  if (found == kNamed.end() || found->name != name) return std::nullopt;
  return DecodedReference{found->character, end + 1};
}

}  // namespace

std::optional<DecodedReference> decodeCharacterReference(std::string_view text) noexcept {
  if (text.size() < 3 || text[0] != '&') return std::nullopt;
  return text[1] == '#' ? decodeNumeric(text) : decodeNamed(text);
}

}  // namespace mailsift
