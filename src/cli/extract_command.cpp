// `mailsift extract`: every entry the scanner delivers, in text order, with
// no sorting and no removal of duplicates.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/display_text.h"
#include "app/piece_scan.h"
#include "cli/commands.h"
#include "cli/json_lines.h"
#include "cli/option_values.h"
#include "cli/output.h"
#include "sources/content_scan.h"
#include "sources/stream_scan.h"

namespace mailsift::cli {
namespace {

constexpr std::string_view kHelp =
    "Usage: mailsift extract [--rules=specified|extended] [--jobs=N] [--decode=auto|none]\n"
    "                        [--format=lines|jsonl] [--encoding=cp1252] [FILE...]\n"
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
    "--rules=extended reads more: \"+\" in the local part (a+tag@example.com),\n"
    "forms between blanks or in other brackets (\" [at] \", \" (at) \", \" <at> \",\n"
    "\" {at} \", \" -at- \", \" dot \", \" [dot] \", \" <dot> \", ...), the current list of\n"
    "top-level domains (see 'mailsift --version'), one-letter labels below the\n"
    "last two (x@d.umn.edu), and a full stop right after an address ends the\n"
    "sentence, not the address.\n"
    "\n"
    "Input is read as it comes, through a fixed buffer, so memory does not\n"
    "grow with it; a large file is cut into pieces that are scanned on\n"
    "several threads, and the lines still come in the order of the text.\n"
    "\n"
    "Content is decoded where it calls for it: compressed files and archives\n"
    "(gzip, bzip2, xz, zstd, zip and office files, tar) member by member,\n"
    "PDF documents, UTF-8 and UTF-16 text, and the encoded parts of mail.\n"
    "Escapes (&#64;, %40, troff's \\-) are undone in a second look beside the\n"
    "text as stored; what only that look finds comes after the file's other\n"
    "lines.\n"
    "\n"
    "Options:\n"
    "  --rules=RULES      specified (the default) or extended, see above\n"
    "  --jobs=N           threads for one large file (default: one per core;\n"
    "                     the output never changes)\n"
    "  --decode=auto      decode content as above (the default)\n"
    "  --decode=none      read every input as Windows-1252 bytes, as stored\n"
    "  --encoding=cp1252  read input bytes as Windows-1252 where they are not\n"
    "                     decoded (the default)\n"
    "  --verbose          report what could not be decoded (a damaged member,\n"
    "                     a limit reached)\n"
    "  --format=lines     print the lines above (the default)\n"
    "  --format=jsonl     print one JSON object per line instead, see below\n"
    "  --help             show this help\n"
    "\n"
    "With --format=jsonl every entry is printed as\n"
    "  {\"type\":\"entry\",\"entry\":\"a@b.com\",\"list\":\"found\",\"source\":\"FILE\",\n"
    "   \"offset\":1234,\"decoded\":\"gzip\"}\n"
    "\"list\" is found or unknown, \"source\" the FILE as given (\"-\" for standard\n"
    "input; when it is not valid UTF-8, \"source_bytes\" follows with its bytes\n"
    "in base64). \"offset\" is where the text the entry was read from begins\n"
    "(its first character, or the spelled-out form it starts with): a byte\n"
    "offset in FILE as stored when \"decoded\" is absent, otherwise in the text\n"
    "of the innermost view \"decoded\" names, counted in characters once UTF-8\n"
    "or UTF-16 is decoded. \"decoded\" names the views outermost first, joined\n"
    "by \", \" (see the README): gzip, bzip2, xz, zstd, \"zip member NAME\",\n"
    "\"tar member NAME\", \"markup text\", \"pdf text\", utf-8, utf-16le,\n"
    "utf-16be, escapes, \"mail text\", \"mail attachment NAME\".\n"
    "\n"
    "Exit status: 0 when every input was read, 2 when one could not be read\n"
    "(the others are still scanned) or the options are wrong.\n";

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

// One piece's lines, printed on the thread that scans the piece.
class PieceLines final : public PieceCollector {
 public:
  SinkReply addEntry(TargetList target, std::string_view entry) override {
    text.append(target == TargetList::List1 ? "found\t" : "unknown\t").append(entry).push_back('\n');
    return SinkReply::Continue;
  }
  void clear() noexcept override { text.clear(); }
  std::string text;
};

struct ExtractOptions {
  PieceScanOptions pieces;
  DecodeOptions decode;
  bool verbose = false;
  OutputFormat format = OutputFormat::Lines;
};

// Scans one input, in pieces on several threads when it is a large regular
// file of plain text, and prints its entries in text order. Returns the
// read failure.
std::optional<platform::Failure> extractFrom(platform::InputFile& input, const ExtractOptions& options,
                                             OutputBuffer& out, EntrySink& printer, const JsonLinePrinter& json,
                                             ReadBuffer& buffer) {
  if (worthScanningInPieces(input, options.pieces) && !needsDecoding(input, buffer, options.decode)) {
    const bool jsonl = options.format == OutputFormat::Jsonl;
    return scanInPieces(
               input, options.pieces,
               [&]() -> std::unique_ptr<PieceCollector> {
                 if (jsonl) return std::make_unique<JsonPieceLines>(json.sourceFields());
                 return std::make_unique<PieceLines>();
               },
               [&](PieceCollector& piece) {
                 out.append(jsonl ? static_cast<JsonPieceLines&>(piece).text : static_cast<PieceLines&>(piece).text);
                 return out.failed() ? SinkReply::Stop : SinkReply::Continue;
               })
        .failure;
  }
  ContentScanResult scanned = scanContent(input, printer, buffer, options.decode, {}, options.pieces.rules);
  if (options.verbose && !scanned.notes.empty()) {
    out.flush();  // keep the order of earlier output and the notes
    for (const platform::Failure& note : scanned.notes) printFailure(note);
  }
  return std::move(scanned.failure);
}

}  // namespace

int runExtract(std::span<const std::string_view> args) {
  std::vector<std::string> files;
  ExtractOptions options;
  bool optionsEnded = false;
  for (const std::string_view arg : args) {
    if (optionsEnded || arg == "-" || !arg.starts_with("-")) {
      files.emplace_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kHelp.data(), stdout);
      return 0;
    } else if (arg.starts_with("--jobs=")) {
      const std::string value(arg.substr(7));
      char* end = nullptr;
      const unsigned long jobs = std::strtoul(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || jobs == 0 || jobs > 1024) {
        printError("--jobs takes a number from 1 to 1024, not '" + escapeControls(value) + "'");
        return 2;
      }
      options.pieces.jobs = static_cast<unsigned>(jobs);
    } else if (arg.starts_with("--decode=")) {
      if (!parseDecodeMode(arg.substr(9), options.decode.mode)) return 2;
    } else if (arg == "--verbose") {
      options.verbose = true;
    } else if (arg.starts_with("--encoding=")) {
      if (arg != "--encoding=cp1252") {
        printError("unsupported encoding '" + escapeControls(arg.substr(11)) + "' (supported: cp1252)");
        return 2;
      }
    } else if (arg.starts_with("--rules=")) {
      const std::optional<ScanRules> rules = parseRulesOption(arg);
      if (!rules) return 2;
      options.pieces.rules = *rules;
    } else if (arg.starts_with("--format=")) {
      const std::optional<OutputFormat> format = parseFormatOption(arg);
      if (!format) return 2;
      options.format = *format;
    } else {
      printError("unknown option '" + escapeControls(arg) + "'\nTry 'mailsift extract --help'.");
      return 2;
    }
  }
  if (files.empty()) files.emplace_back("-");

  ignoreBrokenPipeSignal();
  OutputBuffer out(stdout);
  LinePrinter lines(out);
  JsonLinePrinter json(out);
  EntrySink& printer = options.format == OutputFormat::Jsonl ? static_cast<EntrySink&>(json) : lines;
  ReadBuffer buffer;
  int status = 0;
  for (const std::string& file : files) {
    platform::InputFile input;
    std::optional<platform::Failure> failure;
    if (file == "-") {
      input = platform::InputFile::standardInput();
    } else {
      failure = platform::InputFile::open(file, input);
    }
    if (options.format == OutputFormat::Jsonl) json.setSource(file);
    if (!failure) failure = extractFrom(input, options, out, printer, json, buffer);
    if (out.failed()) break;
    if (failure) {
      out.flush();  // keep the order of earlier output and this message
      printFailure(*failure);
      status = 2;
    }
  }
  out.flush();
  if (out.failed() && !out.brokenPipe()) {
    printError("cannot write output");
    return 2;
  }
  return status;
}

}  // namespace mailsift::cli
