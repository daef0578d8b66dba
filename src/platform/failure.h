// The one value that says why an operation failed, used by every layer:
// reading, walking folders, downloading and exporting. Expected failures are
// returned as values of this type (alone as std::optional<Failure>, or as the
// `failure` member of a result), never thrown.
#pragma once

#include <string>
#include <string_view>

namespace mailsift::platform {

enum class FailureKind : unsigned char {
  NotFound,        // no such file or folder, or a path that runs through a file
  AccessDenied,    // no permission
  IsFolder,        // the path names a folder where a file is needed
  NotRegularFile,  // a FIFO, socket or device: never opened for reading
  Exists,          // the name is taken already
  ReadFailed,      // any other failure to list, open or read
  WriteFailed,     // any other failure to create, write, rename or remove
  Download,        // the transfer failed: bad address or scheme, no connection,
                   // TLS, time-out, too many redirects, a broken transfer
  HttpStatus,      // the server answered with status 400 or higher
  Cancelled,       // stopped on request
  Damaged,         // the content is damaged, truncated or not in the form it claims
  Encrypted,       // data that needs a password, not read
  LimitReached,    // decoding or a download stopped at a limit: nesting depth,
                   // decoded or downloaded bytes, or time
};

struct Failure {
  FailureKind kind = FailureKind::ReadFailed;
  // The system's error number: an errno value, or on Windows the Win32
  // error code when a Win32 call failed (with the system's text for it as
  // the message); 0 when the program found the failure itself.
  int systemError = 0;
  std::string target;   // the path or URL the failed operation was about, as given
  std::string message;  // why, for people, without the target: "Permission denied", "is a folder"
};

// The one mapping from system error numbers (errno values) to failures: the
// kind the number stands for, the number, `target`, and the system's text
// for the number as the message. Numbers without a kind of their own give
// `otherwise`. A number of 0 is taken as EIO, so that a failure never reads
// as success. Thread-safe.
[[nodiscard]] Failure failureFromSystemError(int systemError, std::string target, FailureKind otherwise);

// A failure the program found itself, with no system error number: `kind`,
// `target` and the kind's own text ("is a folder", "not a regular file").
// Thread-safe.
[[nodiscard]] Failure failureOf(FailureKind kind, std::string target);

// `failure` as one step of a larger task on `target`: the kind and the error
// number stay, the target becomes `target`, and the message becomes `step`,
// ": " and the old message, such as "cannot create /tmp/a.tmp: No space left
// on device".
[[nodiscard]] Failure asStepOf(Failure failure, std::string target, std::string_view step);

// The failure in one line for people: the target, ": " and the message,
// such as "notes.txt: No such file or directory".
[[nodiscard]] std::string describe(const Failure& failure);

}  // namespace mailsift::platform
