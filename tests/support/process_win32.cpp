// Child processes for tests on Windows: CreateProcessW with all three
// standard streams on pipes, fed and drained by threads of their own.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <stdexcept>
#include <thread>
#include <utility>

#include "support/process.h"

namespace mailsift::test {
namespace {

std::wstring wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int length = static_cast<int>(utf8.size());
  std::wstring text(static_cast<std::size_t>(::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0)),
                    L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, text.data(), static_cast<int>(text.size()));
  return text;
}

// One argument quoted as the C runtime's parser reads it back: backslashes
// are literal except before a quote.
std::wstring quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
  std::wstring text = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    text.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    text.push_back(c);
  }
  text.append(backslashes * 2, L'\\');
  return text + L"\"";
}

// The build names programs by their path on the build machine; under Wine
// drive Z: is its root.
std::wstring programPath(const std::string& program) {
  std::wstring path = wide(program);
  if (!path.empty() && path.front() == L'/') path.insert(0, L"Z:");
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return path;
}

// This process's environment with `added` set on top, as a block for
// CreateProcessW.
std::wstring environmentBlock(const Environment& added) {
  std::wstring block;
  wchar_t* own = ::GetEnvironmentStringsW();
  for (const wchar_t* variable = own; *variable != L'\0'; variable += std::wcslen(variable) + 1) {
    const std::wstring text(variable);
    bool replaced = false;
    for (const auto& [name, value] : added) {
      const std::wstring prefix = wide(name) + L"=";
      replaced = replaced || ::CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                                    static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
    }
    if (!replaced) block.append(text).push_back(L'\0');
  }
  ::FreeEnvironmentStringsW(own);
  for (const auto& [name, value] : added) block.append(wide(name) + L"=" + wide(value)).push_back(L'\0');
  block.push_back(L'\0');
  return block;
}

void closeIfOpen(std::intptr_t& handle) {
  if (handle != -1) ::CloseHandle(reinterpret_cast<HANDLE>(handle));
  handle = -1;
}

// A pipe whose child end is inherited and whose parent end is not.
void makePipe(HANDLE& parent, HANDLE& child, bool childReads) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  if (!::CreatePipe(&read, &write, &inherit, 0)) throw std::runtime_error("CreatePipe failed");
  parent = childReads ? write : read;
  child = childReads ? read : write;
  ::SetHandleInformation(parent, HANDLE_FLAG_INHERIT, 0);
}

std::string drain(HANDLE from) {
  std::string text;
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(from, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  return text;
}

}  // namespace

RunningProcess startProcess(const std::string& program, const std::vector<std::string>& args,
                            const Environment& environment) {
  HANDLE in = nullptr, out = nullptr, err = nullptr;
  HANDLE childIn = nullptr, childOut = nullptr, childErr = nullptr;
  makePipe(in, childIn, true);
  makePipe(out, childOut, false);
  makePipe(err, childErr, false);

  const std::wstring path = programPath(program);
  std::wstring commandLine = quoted(path);
  for (const std::string& arg : args) commandLine += L" " + quoted(wide(arg));
  std::wstring block = environmentBlock(environment);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = childIn;
  startup.hStdOutput = childOut;
  startup.hStdError = childErr;
  PROCESS_INFORMATION process{};
  const BOOL started =
      ::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                       CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, block.data(), nullptr, &startup, &process);
  for (const HANDLE handle : {childIn, childOut, childErr}) ::CloseHandle(handle);
  if (!started) {
    for (const HANDLE handle : {in, out, err}) ::CloseHandle(handle);
    throw std::runtime_error("cannot start " + program);
  }
  ::CloseHandle(process.hThread);
  return RunningProcess(reinterpret_cast<std::intptr_t>(process.hProcess), reinterpret_cast<std::intptr_t>(in),
                        reinterpret_cast<std::intptr_t>(out), reinterpret_cast<std::intptr_t>(err));
}

RunningProcess::RunningProcess(RunningProcess&& other) noexcept
    : m_pid(std::exchange(other.m_pid, -1)),
      m_in(std::exchange(other.m_in, -1)),
      m_out(std::exchange(other.m_out, -1)),
      m_err(std::exchange(other.m_err, -1)) {}

RunningProcess::~RunningProcess() {
  for (std::intptr_t* handle : {&m_in, &m_out, &m_err}) closeIfOpen(*handle);
  if (m_pid != -1) {
    const auto process = reinterpret_cast<HANDLE>(m_pid);
    ::TerminateProcess(process, 1);
    ::WaitForSingleObject(process, INFINITE);
    closeIfOpen(m_pid);
  }
}

void RunningProcess::signal(int signal) const {
  ::TerminateProcess(reinterpret_cast<HANDLE>(m_pid), static_cast<UINT>(128 + signal));
}

ProcessResult RunningProcess::wait(const std::string& input) {
  // Feed the input and drain both outputs together, so no pipe fills up.
  ProcessResult result;
  std::thread feeder([&] {
    DWORD written = 0;
    for (std::size_t fed = 0; fed < input.size(); fed += written) {
      const auto piece = static_cast<DWORD>(std::min<std::size_t>(input.size() - fed, 1 << 16));
      if (!::WriteFile(reinterpret_cast<HANDLE>(m_in), input.data() + fed, piece, &written, nullptr)) break;
    }
    closeIfOpen(m_in);
  });
  std::thread errors([&] { result.err = drain(reinterpret_cast<HANDLE>(m_err)); });
  result.out = drain(reinterpret_cast<HANDLE>(m_out));
  feeder.join();
  errors.join();
  closeIfOpen(m_out);
  closeIfOpen(m_err);
  const auto process = reinterpret_cast<HANDLE>(m_pid);
  ::WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process, &code);
  result.exitCode = static_cast<int>(code);
  closeIfOpen(m_pid);
  return result;
}

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args, const std::string& input,
                         const Environment& environment) {
  return startProcess(program, args, environment).wait(input);
}

}  // namespace mailsift::test
