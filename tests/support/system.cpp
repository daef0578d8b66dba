// The differences between POSIX and Windows that tests meet.
#include "support/system.h"

#include <cerrno>
#include <cstdlib>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace mailsift::test {

#ifdef _WIN32

// The program reads the environment through the system, not the C runtime's
// copy, and children inherit the system's.
void setEnvironment(const std::string& name, const std::string& value) {
  ::SetEnvironmentVariableA(name.c_str(), value.c_str());
}

void unsetEnvironment(const std::string& name) { ::SetEnvironmentVariableA(name.c_str(), nullptr); }

namespace {

// Wine's ntdll exports its version; Windows' does not.
bool underWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

const char* missing(Feature feature) {
  switch (feature) {
    case Feature::Fifos:
      return "Windows has no FIFOs in the file system";
    case Feature::Symlinks:
      return "symbolic links need a privilege on Windows";
    case Feature::Permissions:
      return "Windows has no POSIX permissions to take away";
    case Feature::Signals:
      return "Windows cannot send SIGINT or SIGTERM to a child";
    case Feature::ControlCharsInNames:
      return "Windows file names cannot hold control characters";
    case Feature::LocaleFromEnvironment:
      return "Windows answers from the user's locale setting, not from LC_ALL or LANG";
    case Feature::PosixShell:
      return "Windows has no POSIX shell to build a pipeline with";
    case Feature::DownloadProgress:
      if (!underWine()) return nullptr;
      return "Wine's urlmon reports neither the body while it arrives nor the redirects it follows, and waits "
             "for ever on some broken responses";
  }
  return "not on Windows";
}

bool makeFifo(const std::string& /*path*/) { return false; }

bool runningAsRoot() { return false; }

bool giveLinkToNobody(const std::string& /*link*/) { return false; }

ExportErrorNumbers exportErrorNumbers() { return {ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED}; }

#else

void setEnvironment(const std::string& name, const std::string& value) { ::setenv(name.c_str(), value.c_str(), 1); }

void unsetEnvironment(const std::string& name) { ::unsetenv(name.c_str()); }

const char* missing(Feature /*feature*/) { return nullptr; }

bool makeFifo(const std::string& path) { return ::mkfifo(path.c_str(), 0600) == 0; }

bool runningAsRoot() { return ::geteuid() == 0; }

bool giveLinkToNobody(const std::string& link) { return ::lchown(link.c_str(), 65534, 65534) == 0; }

ExportErrorNumbers exportErrorNumbers() { return {ENOENT, EISDIR}; }

#endif

}  // namespace mailsift::test
