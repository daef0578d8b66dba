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
  switch (content.failure) {
    case platform::ReadFailure::None:
      result.text = ScanText(std::move(content));
      return result;
    case platform::ReadFailure::NotFound:
      result.error = ReadError::NotFound;
      break;
    case platform::ReadFailure::AccessDenied:
      result.error = ReadError::AccessDenied;
      break;
    case platform::ReadFailure::IsFolder:
      result.error = ReadError::IsFolder;
      result.message = "is a folder";
      return result;
    case platform::ReadFailure::NotRegularFile:
      result.error = ReadError::NotRegularFile;
      result.message = "not a regular file";
      return result;
    case platform::ReadFailure::ReadFailed:
      result.error = ReadError::ReadFailed;
      break;
  }
  result.message = platform::describeSystemError(content.systemError);
  return result;
}

ScanText FileToScanText(const std::string& path) { return std::move(readScanText(path).text); }

}  // namespace mailsift
