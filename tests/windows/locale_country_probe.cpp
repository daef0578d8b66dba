// Prints the calling code the program reads from the user's locale, for
// the tests that start it under a chosen locale.
#include <cstdio>

#include "app/locale_value.h"

int main() {
  std::fputs(mailsift::GetLocaleValue(mailsift::kLocaleICountry).c_str(), stdout);
  return 0;
}
