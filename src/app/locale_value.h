// The one locale query of the program: the country calling code of the user's
// locale, which chooses the language of the interface.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace mailsift {

// The information code of the country's international dialling code
// (LOCALE_ICOUNTRY on Windows), the only code GetLocaleValue answers.
inline constexpr std::int32_t kLocaleICountry = 5;

// Asks the user's locale for the information `informationCode` and returns
// the answer as text, or "" when there is none.
//
// Only kLocaleICountry is answered. On Windows the answer is the user
// locale's own LOCALE_ICOUNTRY value. On POSIX it is the country calling code
// of the territory of the user's locale, in decimal digits without "+" (for
// example "41" for de_CH.UTF-8, "1" for en_US). The locale name is the first
// non-empty one of the environment variables LC_ALL, LC_MESSAGES and LANG
// (the POSIX precedence: the first non-empty one alone decides); see
// countryCallingCode for how it is read. Every other information code, a
// locale without a territory (C, POSIX, unset) and an unknown territory give
// "". Never fails otherwise. Reads the environment, so it must not run at the
// same time as a change of the environment in another thread.
[[nodiscard]] std::string GetLocaleValue(std::int32_t informationCode);

// The country calling code of the territory in the locale name `localeName`,
// written language[_territory][.codeset][@modifier] (such as "de_CH.UTF-8",
// "fr_CH", "de_LU@euro"): the territory is what follows the first "_" up to
// the first "." or "@" or the end, and must be two ASCII letters (either
// case). Returns the code in decimal digits ("41" for CH, "352" for LU, "1"
// for the North American Numbering Plan, the shared code for a territory
// without its own, such as "44" for JE), or "" when the name has no
// territory, the territory is not two letters, or it is not an ISO 3166-1
// territory (Kosovo's "XK" counts as one). Pure; thread-safe.
[[nodiscard]] std::string countryCallingCode(std::string_view localeName);

// The start-up conversion of the locale answer to the country code that
// LoadUiTexts takes: the decimal number in `text` when the whole text is one
// (an optional "-" and digits, nothing else, no spaces) and fits in 16 bits,
// otherwise 0, which selects English like every code other than 41, 43 and
// 49. So "" and "abc" give 0, as does "99999". Pure; thread-safe.
[[nodiscard]] std::int16_t countryCodeFromText(std::string_view text) noexcept;

namespace detail {

// The rule behind GetLocaleValue's choice of locale name, with the
// environment given as a lookup that answers "" for an unset variable: the
// first non-empty one of LC_ALL, LC_MESSAGES and LANG, or "" when all are
// empty.
[[nodiscard]] std::string userLocaleName(const std::function<std::string(const char*)>& lookup);

// The territory of `localeName` in upper case (see countryCallingCode), or ""
// when it has none of two ASCII letters.
[[nodiscard]] std::string localeTerritory(std::string_view localeName);

}  // namespace detail

}  // namespace mailsift
