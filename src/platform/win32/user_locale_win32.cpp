// The user's locale on Windows, which knows its country's calling code.
#include <windows.h>

#include "platform/user_locale.h"
#include "platform/win32/win32_text.h"

namespace mailsift::platform {

std::optional<std::string> systemCountryCallingCode() {
  wchar_t value[16] = {};  // LOCALE_ICOUNTRY holds at most 6 characters
  const int length = ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_ICOUNTRY, value, 16);
  if (length <= 1) return std::string();
  return win32::utf8(std::wstring(value, static_cast<std::size_t>(length - 1)));
}

}  // namespace mailsift::platform
