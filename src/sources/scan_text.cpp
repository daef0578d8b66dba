// Whole-file reading on top of the platform layer.
#include "sources/scan_text.h"

#include <utility>

#include "platform/files.h"

namespace mailsift {

ScanText::ScanText(std::string text) : m_text(std::move(text)), m_size(m_text.size()) {}

ScanText::ScanText(platform::FileContent content) noexcept
    : m_content(std::move(content)), m_size(m_content.size), m_fromFile(true) {}

std::string_view ScanText::view() const noexcept {
  return m_fromFile ? std::string_view(m_content.data(), m_size) : std::string_view(m_text);
}

ReadResult readScanText(const std::string& path) {
  platform::FileContent content = platform::readWholeFile(path);
  ReadResult result;
  if (content.ok()) {
    result.text = ScanText(std::move(content));
  } else {
    result.failure = std::move(content.failure);
  }
  return result;
}

}  // namespace mailsift
