// Files that exist only while the program writes them (an export before it
// takes its place, a page being downloaded) are removed when the process is
// ended by an interrupt, so that Ctrl-C never leaves gigabytes behind.
#pragma once

#include <string>

#include "platform/native_handle.h"

namespace mailsift::platform {

// Registers one temporary file for the life of the object: if SIGINT,
// SIGTERM or SIGHUP (on Windows: Ctrl+C, Ctrl+Break, closing the console,
// logging off, shutting down) ends the process meanwhile, the file is removed and the
// process then ends by that signal as it would have without this (its exit
// status still says "killed by signal"). Nothing is removed otherwise: the
// owner removes or renames the file itself, and should do so before the
// object goes away, so that a signal in between finds either the file or
// nothing under its name.
//
// The handlers are installed at the first registration, and only for
// signals whose action is still the default: a signal the program ignores
// (such as SIGHUP under nohup) stays ignored, and a handler of the program's
// own is kept. At most a few dozen files can be registered at once; past
// that, or for a path too long for the system, the file is simply not
// covered (isRegistered() says so).
//
// Move-only. Objects may be created and destroyed on any threads at once.
class TemporaryFileGuard {
 public:
  TemporaryFileGuard() noexcept = default;
  // Registers `path`; a relative path is taken from the current folder at
  // this call, so later changes of folder do not matter.
  explicit TemporaryFileGuard(const std::string& path) noexcept;
  // Registers `name` in the folder open as the descriptor `folder` (POSIX;
  // any open descriptor of a folder, which must stay open while registered).
  TemporaryFileGuard(NativeHandle folder, const std::string& name) noexcept;
  // Unregisters the file; does not remove it.
  ~TemporaryFileGuard();
  TemporaryFileGuard(TemporaryFileGuard&& other) noexcept;
  TemporaryFileGuard& operator=(TemporaryFileGuard&& other) noexcept;
  TemporaryFileGuard(const TemporaryFileGuard&) = delete;
  TemporaryFileGuard& operator=(const TemporaryFileGuard&) = delete;

  bool isRegistered() const noexcept { return m_slot >= 0; }
  // Unregisters the file now (does not remove it); the object then holds none.
  void release() noexcept;

 private:
  int m_slot = -1;
};

}  // namespace mailsift::platform
