// POSIX locales carry no calling code that every system fills in.
#include "platform/user_locale.h"

namespace mailsift::platform {

std::optional<std::string> systemCountryCallingCode() { return std::nullopt; }

}  // namespace mailsift::platform
