// Reading inputs in pieces on Windows. A positioned ReadFile moves the
// handle's own position, so regular files are read at positions kept here
// alone, and readAt and read never disturb each other.
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/input_file.h"
#include "platform/win32/win32_text.h"

namespace mailsift::platform {
namespace {

// One ReadFile takes a DWORD count; larger reads come in pieces.
constexpr std::size_t kLargestRead = std::size_t{1} << 30;

HANDLE handleOf(NativeHandle handle) noexcept { return reinterpret_cast<HANDLE>(handle); }

NativeHandle valueOf(HANDLE handle) noexcept {
  return handle == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<NativeHandle>(handle);
}

FileIdentity identityOf(const BY_HANDLE_FILE_INFORMATION& info) noexcept {
  return {info.dwVolumeSerialNumber, std::uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow};
}

ReadOutcome readFrom(HANDLE handle, std::uint64_t offset, bool positioned, char* buffer, std::size_t capacity,
                     const std::string& name) {
  const auto want = static_cast<DWORD>(std::min(capacity, kLargestRead));
  DWORD got = 0;
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  if (::ReadFile(handle, buffer, want, &got, positioned ? &at : nullptr)) return {got, std::nullopt};
  const DWORD error = ::GetLastError();
  // The end of a file or of a pipe whose writer has gone.
  if (error == ERROR_HANDLE_EOF || error == ERROR_BROKEN_PIPE) return {0, std::nullopt};
  return {0, win32::failureFromWin32(error, name, FailureKind::ReadFailed)};
}

}  // namespace

InputFile::~InputFile() { release(); }

InputFile::InputFile(InputFile&& other) noexcept
    : m_handle(std::exchange(other.m_handle, -1)),
      m_owned(std::exchange(other.m_owned, false)),
      m_regular(other.m_regular),
      m_size(other.m_size),
      m_position(other.m_position),
      m_identity(other.m_identity),
      m_name(std::move(other.m_name)) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    release();
    m_handle = std::exchange(other.m_handle, -1);
    m_owned = std::exchange(other.m_owned, false);
    m_regular = other.m_regular;
    m_size = other.m_size;
    m_position = other.m_position;
    m_identity = other.m_identity;
    m_name = std::move(other.m_name);
  }
  return *this;
}

void InputFile::release() noexcept {
  if (m_owned && m_handle >= 0) ::CloseHandle(handleOf(m_handle));
  m_handle = -1;
  m_owned = false;
}

namespace {

// Opens the regular file at `path` and hands its handle and information to
// `fill`.
template <typename Fill>
std::optional<Failure> openPath(const std::string& path, InputFile::Check check, Fill fill) {
  const std::wstring name = win32::widePath(path);
  if (path.empty() || name.empty()) return failureFromSystemError(ENOENT, path, FailureKind::ReadFailed);
  if (check == InputFile::Check::LookFirst) {
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      return win32::failureFromWin32(::GetLastError(), path, FailureKind::ReadFailed);
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return failureOf(FailureKind::IsFolder, path);
    if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return failureOf(FailureKind::NotRegularFile, path);
  }
  // Others may go on writing, renaming and removing the file while it is
  // read, as on POSIX.
  const HANDLE handle =
      ::CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    // A folder cannot be opened as a file: say so rather than "access denied".
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return failureOf(FailureKind::IsFolder, path);
    }
    return win32::failureFromWin32(error, path, FailureKind::ReadFailed);
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(handle) != FILE_TYPE_DISK) {
    ::CloseHandle(handle);
    return failureOf(FailureKind::NotRegularFile, path);
  }
  if (!::GetFileInformationByHandle(handle, &info)) {
    const DWORD error = ::GetLastError();
    ::CloseHandle(handle);
    return win32::failureFromWin32(error, path, FailureKind::ReadFailed);
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    ::CloseHandle(handle);
    return failureOf(FailureKind::IsFolder, path);
  }
  fill(handle, info);
  return std::nullopt;
}

}  // namespace

std::optional<Failure> InputFile::open(const std::string& path, InputFile& into, Check check) {
  into = InputFile();
  return openPath(path, check, [&](HANDLE handle, const BY_HANDLE_FILE_INFORMATION& info) {
    into.m_handle = valueOf(handle);
    into.m_owned = true;
    into.m_regular = true;
    into.m_size = std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
    into.m_identity = identityOf(info);
    into.m_name = path;
  });
}

// Windows takes paths of up to 32767 characters through "\\?\", so the file
// is opened by its full path; the folder's handle only keeps the folder
// from being removed meanwhile.
std::optional<Failure> InputFile::openIn(const FolderHandle& /*folder*/, const std::string& path,
                                         std::size_t /*nameStart*/, InputFile& into, Check check) {
  return open(path, into, check);
}

InputFile InputFile::standardInput() {
  InputFile input;
  const HANDLE handle = ::GetStdHandle(STD_INPUT_HANDLE);
  input.m_handle = handle == nullptr ? -1 : valueOf(handle);
  input.m_name = "standard input";
  if (input.m_handle < 0 || ::GetFileType(handle) != FILE_TYPE_DISK) return input;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info)) return input;
  input.m_identity = identityOf(info);
  // A whole file given with "<" can be read at any offset, like a named
  // one; one that somebody has read from already is read on as a stream.
  LARGE_INTEGER position{};
  if (::SetFilePointerEx(handle, LARGE_INTEGER{}, &position, FILE_CURRENT) && position.QuadPart == 0) {
    input.m_regular = true;
    input.m_size = std::uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
  }
  return input;
}

ReadOutcome InputFile::read(char* buffer, std::size_t capacity) {
  if (!m_regular) return readFrom(handleOf(m_handle), 0, false, buffer, capacity, m_name);
  ReadOutcome outcome = readFrom(handleOf(m_handle), m_position, true, buffer, capacity, m_name);
  m_position += outcome.bytes;
  return outcome;
}

ReadOutcome InputFile::readAt(std::uint64_t offset, char* buffer, std::size_t capacity) const {
  return readFrom(handleOf(m_handle), offset, true, buffer, capacity, m_name);
}

}  // namespace mailsift::platform
