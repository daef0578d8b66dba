// Making failures. System error numbers are errno values on every system the
// program is built for, so the mapping uses the standard names and texts.
#include "platform/failure.h"

#include <cerrno>
#include <system_error>
#include <utility>

namespace mailsift::platform {
namespace {

FailureKind kindOfSystemError(int systemError, FailureKind otherwise) noexcept {
  switch (systemError) {
    case ENOENT:
    case ENOTDIR:
      return FailureKind::NotFound;
    case EACCES:
    case EPERM:
      return FailureKind::AccessDenied;
    case EISDIR:
      return FailureKind::IsFolder;
    case EEXIST:
      return FailureKind::Exists;
    default:
      return otherwise;
  }
}

std::string_view ownText(FailureKind kind) noexcept {
  switch (kind) {
    case FailureKind::NotFound:
      return "not found";
    case FailureKind::AccessDenied:
      return "access denied";
    case FailureKind::IsFolder:
      return "is a folder";
    case FailureKind::NotRegularFile:
      return "not a regular file";
    case FailureKind::Exists:
      return "exists already";
    case FailureKind::ReadFailed:
      return "read failed";
    case FailureKind::WriteFailed:
      return "write failed";
    case FailureKind::Download:
      return "download failed";
    case FailureKind::HttpStatus:
      return "the server answered with an error";
    case FailureKind::Cancelled:
      return "cancelled";
    case FailureKind::Damaged:
      return "damaged or truncated data";
    case FailureKind::Encrypted:
      return "encrypted";
    case FailureKind::LimitReached:
      return "limit reached";
  }
  return "failed";
}

}  // namespace

Failure failureFromSystemError(int systemError, std::string target, FailureKind otherwise) {
  if (systemError == 0) systemError = EIO;
  return {kindOfSystemError(systemError, otherwise), systemError, std::move(target),
          std::error_code(systemError, std::generic_category()).message()};
}

Failure failureOf(FailureKind kind, std::string target) {
  return {kind, 0, std::move(target), std::string(ownText(kind))};
}

Failure asStepOf(Failure failure, std::string target, std::string_view step) {
  failure.target = std::move(target);
  failure.message.insert(0, std::string(step) + ": ");
  return failure;
}

std::string describe(const Failure& failure) { return failure.target + ": " + failure.message; }

}  // namespace mailsift::platform
