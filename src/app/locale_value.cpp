// GetLocaleValue: the system's answer where it has one (Windows), otherwise
// the country calling code is worked out from the territory of the locale
// name in the environment, since POSIX locales carry no calling code that
// every system fills in.
#include "app/locale_value.h"

#include <charconv>
#include <optional>
#include <utility>

#include "app/detail/calling_codes.h"
#include "platform/files.h"
#include "platform/user_locale.h"

namespace mailsift {

namespace detail {

std::string userLocaleName(const std::function<std::string(const char*)>& lookup) {
  // LC_MESSAGES rather than LC_CTYPE or LC_TELEPHONE: the answer chooses the
  // language of the interface, and a user who sets only LC_MESSAGES has said
  // which language they want to read.
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    std::string value = lookup(name);
    if (!value.empty()) return value;
  }
  return {};
}

std::string localeTerritory(std::string_view localeName) {
  // Cut the codeset and modifier first, so a "_" inside them is not taken
  // for the start of a territory.
  const std::string_view head = localeName.substr(0, localeName.find_first_of(".@"));
  const std::size_t underscore = head.find('_');
  if (underscore == std::string_view::npos) return {};
  const std::string_view territory = head.substr(underscore + 1);
  if (territory.size() != 2) return {};
  std::string upper;
  for (const char c : territory) {
    if (c >= 'a' && c <= 'z') {
      upper.push_back(static_cast<char>(c - 'a' + 'A'));
    } else if (c >= 'A' && c <= 'Z') {
      upper.push_back(c);
    } else {
      return {};
    }
  }
  return upper;
}

}  // namespace detail

std::string countryCallingCode(std::string_view localeName) {
  const std::string territory = detail::localeTerritory(localeName);
  if (territory.empty()) return {};
  return std::string(detail::callingCodeOfTerritory(territory));
}

std::string GetLocaleValue(std::int32_t informationCode) {
  if (informationCode != kLocaleICountry) return {};
  if (std::optional<std::string> code = platform::systemCountryCallingCode()) return std::move(*code);
  return countryCallingCode(detail::userLocaleName(&platform::environmentVariable));
}

std::int16_t countryCodeFromText(std::string_view text) noexcept {
  std::int16_t value = 0;
  const char* const end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end) return 0;
  return value;
}

}  // namespace mailsift
