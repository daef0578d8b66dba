// Temporary folders for tests.
#include "support/temp_folder.h"

#include <fstream>
#include <random>
#include <sstream>

namespace mailsift::test {
namespace {

// Names in tests are UTF-8. A narrow string would be read in the ANSI code
// page on Windows, which turns "caf\xC3\xA9" into "caf\xC3\x83\xC2\xA9" and
// cannot hold a Greek or Chinese name at all.
std::filesystem::path fromUtf8(std::string_view name) {
  return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

std::string utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace

TempFolder::TempFolder() {
  std::random_device device;
  const auto base = std::filesystem::temp_directory_path();
  for (;;) {
    m_path = base / ("mailsift-test-" + std::to_string(device()));
    if (std::filesystem::create_directory(m_path)) break;
  }
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  // Restore permissions that a test may have taken away, so removal works.
  for (auto it = std::filesystem::recursive_directory_iterator(
           m_path, std::filesystem::directory_options::skip_permission_denied, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                   ignored);
    }
  }
  std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(m_path, ignored);
}

std::string TempFolder::file(std::string_view name) const { return utf8(m_path / fromUtf8(name)); }

std::string TempFolder::write(std::string_view name, std::string_view content) const {
  const std::filesystem::path target = m_path / fromUtf8(name);
  std::filesystem::create_directories(target.parent_path());
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  return utf8(target);
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace mailsift::test
