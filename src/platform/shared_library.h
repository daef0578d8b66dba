// Loading a shared library while the program runs, for parts that most runs
// never need: their libraries then cost nothing at start-up.
#pragma once

#include <optional>
#include <string>

namespace mailsift::platform {

// A loaded library. It stays loaded until the process ends, so the symbols
// found in it stay valid; copies share it.
class SharedLibrary {
 public:
  // Loads the library at `path` with every symbol bound at once. On failure
  // returns std::nullopt and sets `error` to the loader's reason.
  static std::optional<SharedLibrary> load(const std::string& path, std::string& error);

  // The address of the symbol `name`, or nullptr when the library has none.
  void* symbol(const char* name) const noexcept;

 private:
  explicit SharedLibrary(void* handle) noexcept : m_handle(handle) {}
  void* m_handle;
};

// The folder of the running program's executable, without a trailing
// separator; empty when the system cannot tell.
std::string executableFolder();

}  // namespace mailsift::platform
