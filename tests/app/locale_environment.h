// Sets the locale variables LC_ALL, LC_MESSAGES and LANG for one test and
// puts back what was there (set, set but empty, or unset) afterwards.
#pragma once

#include <array>
#include <cstdlib>
#include <optional>
#include <string>

#include "support/system.h"

namespace mailsift::test {

class LocaleEnvironment {
 public:
  // Remembers the three variables and then unsets them, so each test starts
  // from "nothing set" and sets only what it means to.
  LocaleEnvironment() {
    for (Saved& saved : m_saved) {
      if (const char* value = std::getenv(saved.name)) saved.value = value;
      unsetEnvironment(saved.name);
    }
  }
  ~LocaleEnvironment() {
    for (const Saved& saved : m_saved) {
      if (saved.value) {
        setEnvironment(saved.name, *saved.value);
      } else {
        unsetEnvironment(saved.name);
      }
    }
  }
  LocaleEnvironment(const LocaleEnvironment&) = delete;
  LocaleEnvironment& operator=(const LocaleEnvironment&) = delete;

  // Sets `name` to `value` ("" sets it to the empty text, which is not unset).
  static void set(const char* name, const char* value) { setEnvironment(name, value); }
  static void unset(const char* name) { unsetEnvironment(name); }

 private:
  struct Saved {
    const char* name;
    std::optional<std::string> value;
  };
  std::array<Saved, 3> m_saved{{{"LC_ALL", {}}, {"LC_MESSAGES", {}}, {"LANG", {}}}};
};

}  // namespace mailsift::test
