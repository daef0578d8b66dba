// What the system itself says about the user's locale, where it says it.
#pragma once

#include <optional>
#include <string>

namespace mailsift::platform {

// The country calling code of the user's locale as the system answers it,
// in decimal digits ("41" for Switzerland): on Windows the locale's
// LOCALE_ICOUNTRY value, "" when it has none. std::nullopt on systems whose
// locales carry no calling code (POSIX), where the caller works it out
// from the locale name. Thread-safe.
[[nodiscard]] std::optional<std::string> systemCountryCallingCode();

}  // namespace mailsift::platform
