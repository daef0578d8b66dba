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
// The path is followed name by name. A symbolic link on the way, or at the
// end, is followed only when the user running this owns it or the folder
// holding it belongs to the link's owner; any other link fails with EACCES
// (kind AccessDenied) before anything is written, so nobody can plant a link
// that redirects the write to someone else's file. A link at the end that
// points nowhere fails with ENOENT.
//
// A regular or new target is written through a temporary file created
// exclusively in the target's folder, under an unguessable name ("." + the
// target's name + ".mailsift-" + a random suffix) with mode 0600, so that
// nobody else can read the content while it is incomplete. It is checked on
// every write, on fsync and on close. Once complete it takes the owner and
// group of the file it replaces where the system allows (otherwise they are
// the process's), and that file's permission bits (without set-id and
// sticky bits), or 0666 less the umask for a new file, and is then renamed
// over the target. A link followed to the target stays. While it exists the
// temporary file is registered with TemporaryFileGuard, so SIGINT, SIGTERM
// or SIGHUP remove it. On any failure the temporary file is removed and the
// previous target is left as it was.
//
// A target that exists and is neither a regular file nor a folder (a device,
// a FIFO) cannot be replaced; it is opened and written in place instead,
// with the same checks. A FIFO that no program reads from fails at once with
// ENXIO and the message "no program reads from it" instead of waiting for a
// reader. A target that is a folder fails with EISDIR (on Windows with
// ERROR_ACCESS_DENIED, as Windows says itself) before anything is created.
//
// Returns std::nullopt on success, or the failure for `path`: its error
// number is the system's (never 0), its message the system's text for it
// unless said otherwise above.
//
// Thread-safe: concurrent calls for different paths do not interfere; calls
// for the same path end with one of the contents in place, never a mixture.
[[nodiscard]] std::optional<Failure> writeFileReplacing(const std::string& path, std::string_view bytes);

}  // namespace mailsift::platform
