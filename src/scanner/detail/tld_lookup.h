// Compile-time lookup structures for the top-level domain list. Internal to
// the scanner; the public list and question live in top_level_domains.h.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace mailsift::detail {

inline constexpr std::array<std::string_view, 277> kTldList = {
    "AC",   "AD",  "AE", "AERO", "AF", "AG", "AI",     "AL",   "AM",  "AN", "AO",     "AQ",  "AR",   "ARPA", "AS",
    "ASIA", "AT",  "AU", "AW",   "AX", "AZ", "BA",     "BB",   "BD",  "BE", "BF",     "BG",  "BH",   "BI",   "BIZ",
    "BJ",   "BL",  "BM", "BN",   "BO", "BQ", "BR",     "BS",   "BT",  "BV", "BW",     "BY",  "BZ",   "CA",   "CAT",
    "CC",   "CD",  "CF", "CG",   "CH", "CI", "CK",     "CL",   "CM",  "CN", "CO",     "COM", "COOP", "CR",   "CU",
    "CV",   "CW",  "CX", "CY",   "CZ", "DE", "DJ",     "DK",   "DM",  "DO", "DZ",     "EC",  "EDU",  "EE",   "EG",
    "EH",   "ER",  "ES", "ET",   "EU", "FI", "FJ",     "FK",   "FM",  "FO", "FR",     "GA",  "GB",   "GD",   "GE",
    "GF",   "GG",  "GH", "GI",   "GL", "GM", "GN",     "GOV",  "GP",  "GQ", "GR",     "GS",  "GT",   "GU",   "GW",
    "GY",   "HK",  "HM", "HN",   "HR", "HT", "HU",     "ID",   "IE",  "IL", "IM",     "IN",  "INFO", "INT",  "IO",
    "IQ",   "IR",  "IS", "IT",   "JE", "JM", "JO",     "JOBS", "JP",  "KE", "KG",     "KH",  "KI",   "KM",   "KN",
    "KP",   "KR",  "KW", "KY",   "KZ", "LA", "LB",     "LC",   "LI",  "LK", "LR",     "LS",  "LT",   "LU",   "LV",
    "LY",   "MA",  "MC", "MD",   "ME", "MF", "MG",     "MH",   "MIL", "MK", "ML",     "MM",  "MN",   "MO",   "MOBI",
    "MP",   "MQ",  "MR", "MS",   "MT", "MU", "MUSEUM", "MV",   "MW",  "MX", "MY",     "MZ",  "NA",   "NAME", "NC",
    "NE",   "NET", "NF", "NG",   "NI", "NL", "NO",     "NP",   "NR",  "NU", "NZ",     "OM",  "ORG",  "PA",   "PE",
    "PF",   "PG",  "PH", "PK",   "PL", "PM", "PN",     "PR",   "PRO", "PS", "PT",     "PW",  "PY",   "QA",   "RE",
    "RO",   "RS",  "RU", "RW",   "SA", "SB", "SC",     "SD",   "SE",  "SG", "SH",     "SI",  "SJ",   "SK",   "SL",
    "SM",   "SN",  "SO", "SR",   "SS", "ST", "SU",     "SV",   "SX",  "SY", "SZ",     "TC",  "TD",   "TEL",  "TF",
    "TG",   "TH",  "TJ", "TK",   "TL", "TM", "TN",     "TO",   "TP",  "TR", "TRAVEL", "TT",  "TV",   "TW",   "TZ",
    "UA",   "UG",  "UK", "UM",   "US", "UY", "UZ",     "VA",   "VC",  "VE", "VG",     "VI",  "VN",   "VU",   "WF",
    "WS",   "XXX", "YE", "YT",   "ZA", "ZM", "ZW",
};

inline constexpr std::size_t kLongestTld = 6;

// Five bits per letter, a = 1 .. z = 26, so different lengths never collide.
constexpr std::uint32_t packLower(std::string_view letters) {
  std::uint32_t key = 0;
  for (const char c : letters) key = (key << 5) | static_cast<std::uint32_t>(c - 'a' + 1);
  return key;
}

constexpr std::uint32_t packUpper(std::string_view letters) {
  std::uint32_t key = 0;
  for (const char c : letters) key = (key << 5) | static_cast<std::uint32_t>(c - 'A' + 1);
  return key;
}

// The 255 two-letter entries as a 26 x 26 bit table.
inline constexpr std::array<std::uint64_t, 11> kTwoLetter = [] {
  std::array<std::uint64_t, 11> bits{};
  for (const std::string_view tld : kTldList) {
    if (tld.size() != 2) continue;
    const unsigned index = static_cast<unsigned>(tld[0] - 'A') * 26u + static_cast<unsigned>(tld[1] - 'A');
    bits[index / 64] |= std::uint64_t{1} << (index % 64);
  }
  return bits;
}();

// The longer entries in a perfect hash: slot (key * multiplier) >> 26 of 64
// holds the key, and no two entries share a slot, so one multiply and one
// compare decide. The multiplier is the first of a fixed sequence that
// spreads the entries without a collision; 0 marks an empty slot, as no
// packed key is 0.
struct LongTable {
  std::uint32_t multiplier = 0;
  std::array<std::uint32_t, 64> keys{};
};

constexpr std::uint32_t longSlot(std::uint32_t key, std::uint32_t multiplier) { return (key * multiplier) >> 26; }

inline constexpr LongTable kLongTable = [] {
  LongTable table;
  for (std::uint32_t multiplier = 0x9E3779B1u;; multiplier += 0x6C8E9CF6u) {
    table.multiplier = multiplier | 1u;
    table.keys.fill(0);
    bool collided = false;
    for (const std::string_view tld : kTldList) {
      if (tld.size() <= 2) continue;
      std::uint32_t& slot = table.keys[longSlot(packUpper(tld), table.multiplier)];
      collided = collided || slot != 0;
      slot = packUpper(tld);
    }
    if (!collided) return table;
  }
}();

// True when `letters` (lower case a-z only) is an entry of the list.
constexpr bool isTldLower(std::string_view letters) {
  if (letters.size() == 2) {
    const unsigned index = static_cast<unsigned>(letters[0] - 'a') * 26u + static_cast<unsigned>(letters[1] - 'a');
    return (kTwoLetter[index / 64] >> (index % 64)) & 1u;
  }
  if (letters.size() < 3 || letters.size() > kLongestTld) return false;
  const std::uint32_t key = packLower(letters);
  return kLongTable.keys[longSlot(key, kLongTable.multiplier)] == key;
}

}  // namespace mailsift::detail
