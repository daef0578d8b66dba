// `mailsift extract`: every entry the scanner delivers, in text order, with
// no sorting and no removal of duplicates.
#include <cstdio>
#include <string>
#include <vector>

#include "app/named_procedures.h"
#include "cli/commands.h"
#include "cli/output.h"
#include "sources/scan_text.h"

namespace mailsift::cli {
namespace {

constexpr std::string_view kHelp =
    "Usage: mailsift extract [--encoding=cp1252] [FILE...]\n"
    "\n"
    "Scans each FILE (standard input when none is given, or for \"-\") for\n"
    "e-mail addresses and prints one line per address found, in the order of\n"
    "the text, without sorting and without removing duplicates:\n"
    "\n"
    "  found<TAB>ADDRESS      a recognised address (known top-level domain)\n"
    "  unknown<TAB>CANDIDATE  a candidate whose top-level domain is not known\n"
    "\n"
    "Spelled-out forms such as (at), [at], \" at \", (dot), [dot], (punkt) and\n"
    "[punkt] are read as \"@\" and \".\". Output is UTF-8 with LF line ends.\n"
    "\n"
    "Options:\n"
    "  --encoding=cp1252  read input bytes as Windows-1252 (the default)\n"
    "  --help             show this help\n"
    "\n"
    "Exit status: 0 when every input was read, 2 when one could not be read\n"
    "(the others are still scanned) or the options are wrong.\n";

// Reads all of standard input.
bool readStandardInput(std::string& text) {
  char chunk[1 << 16];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, stdin)) > 0) text.append(chunk, got);
  return std::ferror(stdin) == 0;
}

class LinePrinter final : public EntrySink {
 public:
  explicit LinePrinter(OutputBuffer& out) : m_out(out) {}
  // Stops the scan as soon as the output is gone (a closed pipe).
  SinkReply addEntry(TargetList target, std::string_view entry) override {
    m_out.append(target == TargetList::List1 ? "found\t" : "unknown\t");
    m_out.append(entry);
    m_out.append("\n");
    return m_out.failed() ? SinkReply::Stop : SinkReply::Continue;
  }

 private:
  OutputBuffer& m_out;
};

}  // namespace

int runExtract(std::span<const std::string_view> args) {
  std::vector<std::string> files;
  bool optionsEnded = false;
  for (const std::string_view arg : args) {
    if (optionsEnded || arg == "-" || !arg.starts_with("-")) {
      files.emplace_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kHelp.data(), stdout);
      return 0;
    } else if (arg.starts_with("--encoding=")) {
      if (arg != "--encoding=cp1252") {
        printError("unsupported encoding '" + std::string(arg.substr(11)) + "' (supported: cp1252)");
        return 2;
      }
    } else {
      printError("unknown option '" + std::string(arg) + "'\nTry 'mailsift extract --help'.");
      return 2;
    }
  }
  if (files.empty()) files.emplace_back("-");

  ignoreBrokenPipeSignal();
  OutputBuffer out(stdout);
  LinePrinter printer(out);
  int status = 0;
  for (const std::string& file : files) {
    if (file == "-") {
      std::string text;
      if (!readStandardInput(text)) {
        printError("standard input: read failed");
        status = 2;
      }
      ExtractAddresses(text, printer);
    } else {
      const ReadResult read = readScanText(file);
      if (!read.ok()) {
        out.flush();  // keep the order of earlier output and this message
        printError(platform::describe(*read.failure));
        status = 2;
        continue;
      }
      ExtractAddresses(read.text.view(), printer);
    }
    if (out.failed()) break;
  }
  out.flush();
  if (out.failed() && !out.brokenPipe()) {
    printError("cannot write output");
    return 2;
  }
  return status;
}

}  // namespace mailsift::cli
