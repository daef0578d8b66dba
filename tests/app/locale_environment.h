// Sets the locale variables LC_ALL, LC_MESSAGES and LANG for one test and
// puts back what was there (set, set but empty, or unset) afterwards.
#pragma once

#include <array>
#include <cstdlib>
#include <optional>
#include <string>

namespace mailsift::test {

class LocaleEnvironment {
 public:
  // Remembers the three variables and then unsets them, so each test starts
  // from "nothing set" and sets only what it means to.
  LocaleEnvironment() {
    for (Saved& saved : m_saved) {
      if (const char* value = std::getenv(saved.name)) saved.value = value;
      ::unsetenv(saved.name);
    }
  }
  ~LocaleEnvironment() {
    for (const Saved& saved : m_saved) {
      if (saved.value) {
        ::setenv(saved.name, saved.value->c_str(), 1);
      } else {
        ::unsetenv(saved.name);
      }
    }
  }
  LocaleEnvironment(const LocaleEnvironment&) = delete;
  LocaleEnvironment& operator=(const LocaleEnvironment&) = delete;

  // Sets `name` to `value` ("" sets it to the empty text, which is not unset).
  static void set(const char* name, const char* value) { ::setenv(name, value, 1); }
  static void unset(const char* name) { ::unsetenv(name); }

 private:
  struct Saved {
    const char* name;
    std::optional<std::string> value;
  };
  std::array<Saved, 3> m_saved{{{"LC_ALL", {}}, {"LC_MESSAGES", {}}, {"LANG", {}}}};
};

}  // namespace mailsift::test
