// Temporary folders for tests.
#include "support/temp_folder.h"

#include <fstream>
#include <random>
#include <sstream>

namespace mailsift::test {

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

std::string TempFolder::file(std::string_view name) const { return (m_path / name).string(); }

std::string TempFolder::write(std::string_view name, std::string_view content) const {
  const std::filesystem::path target = m_path / name;
  std::filesystem::create_directories(target.parent_path());
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  return target.string();
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace mailsift::test
