// Output helpers of the command-line tool.
#include "cli/output.h"

#include <cerrno>
#include <csignal>

#include "app/display_text.h"

namespace mailsift::cli {

OutputBuffer::OutputBuffer(std::FILE* stream) : m_stream(stream) { m_buffer.reserve(kFlushAt + 4096); }

OutputBuffer::~OutputBuffer() { flush(); }

bool OutputBuffer::flush() {
  if (m_failed) {
    m_buffer.clear();
    return false;
  }
  if (!m_buffer.empty()) {
    errno = 0;
    const std::size_t written = std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_stream);
    if (written != m_buffer.size()) {
      m_failed = true;
      m_error = errno;
    }
    m_buffer.clear();
  }
  if (!m_failed && std::fflush(m_stream) != 0) {
    m_failed = true;
    m_error = errno;
  }
#ifdef EPIPE
  if (m_failed && m_error == EPIPE) m_brokenPipe = true;
#endif
  return !m_failed;
}

void printError(std::string_view message) {
  std::fprintf(stderr, "mailsift: %.*s\n", static_cast<int>(message.size()), message.data());
}

void printFailure(const platform::Failure& failure) {
  printError(displayName(failure.target) + ": " + displayName(failure.message));
}

std::optional<ScanRules> parseRulesOption(std::string_view arg) {
  const std::string_view name = arg.substr(arg.find('=') + 1);
  const std::optional<ScanRules> rules = scanRulesNamed(name);
  if (!rules) printError("--rules takes specified or extended, not '" + escapeControls(name) + "'");
  return rules;
}

std::optional<OutputFormat> parseFormatOption(std::string_view arg) {
  const std::string_view name = arg.substr(arg.find('=') + 1);
  std::string lower(name);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  if (lower == "lines") return OutputFormat::Lines;
  if (lower == "jsonl") return OutputFormat::Jsonl;
  printError("--format takes lines or jsonl, not '" + escapeControls(name) + "'");
  return std::nullopt;
}

void ignoreBrokenPipeSignal() {
#ifdef SIGPIPE
  std::signal(SIGPIPE, SIG_IGN);
#endif
}

}  // namespace mailsift::cli
