// Replacing a file's content all at once: the new bytes go to a temporary
// file beside the target, which takes the target's place only after every
// byte has been written, so a failure never leaves a half-written target.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/failure.h"

namespace mailsift::platform {

// Makes the file at `path` (used exactly as given: no extension added, not
// trimmed) hold exactly `bytes`, creating it or replacing it without asking.
//
// A regular or new target is written through a temporary file created
// exclusively in the target's folder (named "." + the target's name + a
// random suffix, mode 0666 less the umask), checked on every write, on fsync
// and on close, and then renamed over the target. An existing regular target
// passes its permission bits on to the new file; a symbolic link is followed,
// so the file it points to is replaced and the link stays. On any failure the
// temporary file is removed and the previous target is left as it was.
//
// A target that exists and is neither a regular file nor a folder (a device,
// a FIFO) cannot be replaced; it is opened and written in place instead,
// with the same checks. A target that is a folder fails with EISDIR before
// anything is created.
//
// Returns std::nullopt on success, or the failure for `path`: its error
// number is the system's (never 0), its message the system's text for it.
//
// Thread-safe: concurrent calls for different paths do not interfere; calls
// for the same path end with one of the contents in place, never a mixture.
[[nodiscard]] std::optional<Failure> writeFileReplacing(const std::string& path, std::string_view bytes);

}  // namespace mailsift::platform
