// File-system operations on Windows: whole files are read into memory (no
// mapping yet), through InputFile.
#include <windows.h>

#include <utility>

#include "platform/files.h"
#include "platform/input_file.h"
#include "platform/win32/win32_text.h"

namespace mailsift::platform {

FileContent readWholeFile(const std::string& path) {
  FileContent content;
  InputFile file;
  if (std::optional<Failure> failure = InputFile::open(path, file)) {
    content.failure = std::move(failure);
    return content;
  }
  const auto expected = static_cast<std::size_t>(file.size());
  if (expected == 0) return content;
  content.bytes = ByteBuffer(expected);
  while (content.size < expected) {
    ReadOutcome got = file.read(content.bytes.data() + content.size, expected - content.size);
    if (got.failure) {
      FileContent failed;
      failed.failure = std::move(got.failure);
      return failed;
    }
    if (got.bytes == 0) break;  // the file shrank while it was read
    content.size += got.bytes;
  }
  return content;
}

std::string environmentVariable(const char* name) {
  const std::wstring wanted = win32::wide(name);
  const DWORD needed = ::GetEnvironmentVariableW(wanted.c_str(), nullptr, 0);
  if (needed == 0) return std::string();
  std::wstring value(needed, L'\0');
  const DWORD length = ::GetEnvironmentVariableW(wanted.c_str(), value.data(), needed);
  if (length == 0 || length >= needed) return std::string();
  value.resize(length);
  return win32::utf8(value);
}

bool createFolder(const std::string& path) { return ::CreateDirectoryW(win32::widePath(path).c_str(), nullptr) != 0; }

}  // namespace mailsift::platform
