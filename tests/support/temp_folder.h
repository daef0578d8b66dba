// A fresh temporary folder per test, removed with everything in it at the end.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace mailsift::test {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const noexcept { return m_path; }
  // The path of `name` (UTF-8) inside the folder, as a UTF-8 string.
  std::string file(std::string_view name) const;
  // Writes `content` byte for byte to `name` (creating parent folders) and returns its path, as file() does.
  std::string write(std::string_view name, std::string_view content) const;

 private:
  std::filesystem::path m_path;
};

// Reads a whole file; "" when it cannot be read.
std::string readFile(const std::filesystem::path& path);

}  // namespace mailsift::test
