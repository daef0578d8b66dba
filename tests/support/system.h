// What differs between the systems the tests run on: setting environment
// variables, and the file-system features that only POSIX has, so that a
// test can skip itself with the reason instead of failing to build.
#pragma once

#include <string>

namespace mailsift::test {

// Sets the environment variable `name` to `value` for this process and the
// children it starts afterwards.
void setEnvironment(const std::string& name, const std::string& value);
// Removes the environment variable `name`.
void unsetEnvironment(const std::string& name);

// What only some systems have.
enum class Feature : unsigned char {
  Fifos,                  // named pipes in the file system (mkfifo)
  Symlinks,               // symbolic links an unprivileged test can make
  Permissions,            // POSIX modes that take read or write access away
  Signals,                // SIGINT and SIGTERM sent to a child, which cleans up
  ControlCharsInNames,    // control characters inside file names
  LocaleFromEnvironment,  // the user's locale read from LC_ALL, LC_MESSAGES and LANG
  PosixShell,             // /bin/bash with head, yes and ulimit, for pipelines
  DownloadProgress        // news from the HTTP client while a body arrives and of
                          // each redirect, which limits and cancels act on
};

// Why the system lacks `feature`, for GTEST_SKIP; nullptr when it has it.
const char* missing(Feature feature);

// Makes a FIFO at `path`; false when it cannot (see missing(Feature::Fifos)).
bool makeFifo(const std::string& path);

// True when the tests run as root (never on Windows).
bool runningAsRoot();

// Gives the link `link` itself to the user "nobody"; false when it cannot.
bool giveLinkToNobody(const std::string& link);

// The system error numbers a failed export reports (after "Err:"): for a
// path through a missing folder (ENOENT; ERROR_PATH_NOT_FOUND on Windows)
// and for a target that is a folder, which the program finds itself (EISDIR;
// ERROR_ACCESS_DENIED, what Windows says when a folder is opened for writing).
struct ExportErrorNumbers {
  int missingFolder;
  int isFolder;
};
ExportErrorNumbers exportErrorNumbers();

}  // namespace mailsift::test
