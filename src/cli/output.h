// Buffered writing to standard output and messages on standard error.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/failure.h"

namespace mailsift::cli {

// How entries are printed: one per line as text, or one JSON object per
// line with where each was read (cli/json_lines.h).
enum class OutputFormat : unsigned char { Lines, Jsonl };

// Collects output in a large buffer and writes it in big pieces. After a
// failed write every further call does nothing; failed() and brokenPipe()
// tell why. Not thread-safe.
class OutputBuffer {
 public:
  explicit OutputBuffer(std::FILE* stream);
  ~OutputBuffer();
  OutputBuffer(const OutputBuffer&) = delete;
  OutputBuffer& operator=(const OutputBuffer&) = delete;

  void append(std::string_view text) {
    m_buffer.append(text);
    if (m_buffer.size() >= kFlushAt) flush();
  }
  // Writes what is buffered; returns false once any write has failed.
  bool flush();
  bool failed() const noexcept { return m_failed; }
  // True when the failure was a reader that went away (a closed pipe).
  bool brokenPipe() const noexcept { return m_brokenPipe; }
  int error() const noexcept { return m_error; }

 private:
  static constexpr std::size_t kFlushAt = std::size_t{1} << 20;
  std::FILE* m_stream;
  std::string m_buffer;
  bool m_failed = false;
  bool m_brokenPipe = false;
  int m_error = 0;
};

// Prints "mailsift: " and the message on standard error, with a line end.
// The message goes out as it is: names in it must have been made safe with
// displayName() first.
void printError(std::string_view message);

// Prints the failure as printError does, its target and message made safe
// for a terminal (control characters escaped, passwords of URLs left out).
void printFailure(const platform::Failure& failure);

// Lets writes to a closed pipe fail with an error instead of ending the
// process, so the program can stop quietly.
void ignoreBrokenPipeSignal();

}  // namespace mailsift::cli
