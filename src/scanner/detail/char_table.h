// Compile-time tables over Windows-1252 bytes: lower case and class bits.
// Internal to the scanner; the public questions live in char_classes.h.
#pragma once

#include <array>

namespace mailsift::detail {

inline constexpr unsigned char kLeft = 1;   // may stand left of the "@"
inline constexpr unsigned char kRight = 2;  // may stand right of the "@"
inline constexpr unsigned char kTld = 4;    // may stand in a top-level domain
// May stand left of the "@" under extended rules: kLeft and "+".
inline constexpr unsigned char kLeftExtended = 8;

constexpr unsigned char lowerOf(unsigned char b) {
  if (b >= 'A' && b <= 'Z') return static_cast<unsigned char>(b + 0x20);
  // Latin-1 capitals À..Þ, except the multiplication sign ×.
  if (b >= 0xC0 && b <= 0xDE && b != 0xD7) return static_cast<unsigned char>(b + 0x20);
  switch (b) {
    case 0x8A:
      return 0x9A;  // Š
    case 0x8C:
      return 0x9C;  // Œ
    case 0x8E:
      return 0x9E;  // Ž
    case 0x9F:
      return 0xFF;  // Ÿ
    default:
      return b;
  }
}

// Class bits of an already lower-cased character.
constexpr unsigned char classOfLower(unsigned char c) {
  unsigned char bits = 0;
  const bool letter = c >= 'a' && c <= 'z';
  const bool digit = c >= '0' && c <= '9';
  if (letter || digit || c == '-' || c == '_' || c == '.') bits |= kLeft | kLeftExtended;
  if (c == '+') bits |= kLeftExtended;
  if (letter || digit || c == '-' || c == 0xFC || c == 0xF6 || c == 0xE4 || c == '.') bits |= kRight;
  if (letter) bits |= kTld;
  return bits;
}

inline constexpr std::array<unsigned char, 256> kLowerOf = [] {
  std::array<unsigned char, 256> table{};
  for (unsigned i = 0; i < 256; ++i) table[i] = lowerOf(static_cast<unsigned char>(i));
  return table;
}();

// Indexed by the raw byte, so upper-case letters count as their lower case.
inline constexpr std::array<unsigned char, 256> kClassOf = [] {
  std::array<unsigned char, 256> table{};
  for (unsigned i = 0; i < 256; ++i) table[i] = classOfLower(kLowerOf[i]);
  return table;
}();

// Bytes that no entry and no spelled-out form can contain: outside both
// address classes, and neither a blank, a bracket nor "@". A text cut right
// after such a byte gives the same entries in its two parts as whole.
inline constexpr std::array<bool, 256> kBoundary = [] {
  std::array<bool, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    const bool inForm = i == ' ' || i == '(' || i == ')' || i == '[' || i == ']' || i == '@';
    table[i] = (kClassOf[i] & (kLeft | kRight)) == 0 && !inForm;
  }
  return table;
}();

// The same under extended rules, whose entries also take "+" and whose
// spelled-out forms also take "<", ">", "{", "}" and "-": "<" and ">" no
// longer cut a text, nor do "{", "}" and "+".
inline constexpr std::array<bool, 256> kBoundaryExtended = [] {
  std::array<bool, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    const bool inForm = i == ' ' || i == '(' || i == ')' || i == '[' || i == ']' || i == '<' || i == '>' || i == '{' ||
                        i == '}' || i == '-' || i == '@';
    table[i] = (kClassOf[i] & (kLeftExtended | kRight)) == 0 && !inForm;
  }
  return table;
}();

}  // namespace mailsift::detail
