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

ReadError readErrorOf(platform::ReadFailure failure) noexcept {
  switch (failure) {
    case platform::ReadFailure::None: return ReadError::None;
    case platform::ReadFailure::NotFound: return ReadError::NotFound;
    case platform::ReadFailure::AccessDenied: return ReadError::AccessDenied;
    case platform::ReadFailure::IsFolder: return ReadError::IsFolder;
    case platform::ReadFailure::NotRegularFile: return ReadError::NotRegularFile;
    case platform::ReadFailure::ReadFailed: return ReadError::ReadFailed;
  }
  return ReadError::ReadFailed;
}

ReadResult readScanText(const std::string& path) {
  platform::FileContent content = platform::readWholeFile(path);
  ReadResult result;
  result.error = readErrorOf(content.failure);
  switch (result.error) {
    case ReadError::None:
      result.text = ScanText(std::move(content));
      break;
    case ReadError::IsFolder:
      result.message = "is a folder";
      break;
    case ReadError::NotRegularFile:
      result.message = "not a regular file";
      break;
    default:
      result.message = platform::describeSystemError(content.systemError);
      break;
  }
  return result;
}

ScanText FileToScanText(const std::string& path) { return std::move(readScanText(path).text); }

}  // namespace mailsift
