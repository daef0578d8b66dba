// `mailsift extract`: every entry the scanner delivers, in text order, with
// no sorting and no removal of duplicates.
#include <cstdio>
#include <string>
#include <vector>

#include "app/display_text.h"
#include "app/piece_scan.h"
#include "cli/commands.h"
#include "cli/json_lines.h"
#include "cli/option_parser.h"
#include "cli/option_values.h"
#include "cli/output.h"
#include "sources/content_scan.h"
#include "sources/stream_scan.h"

namespace mailsift::cli {
namespace {

constexpr std::string_view kHelp =
    "Usage: mailsift extract [--rules=specified|extended] [-j N] [--decode=auto|none]\n"
    "                        [--encoding=cp1252] [--format=lines|jsonl] [-0] [-q]\n"
    "                        [--verbose] [FILE...]\n"
    "\n"
    "Scans each FILE (standard input when none is given, or for \"-\", which\n"
    "is read once: a second \"-\" is empty) for e-mail addresses and prints\n"
    "one line per address found, in the order of the text, without sorting\n"
    "and without removing duplicates:\n"
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
    "  --rules=RULES        specified (the default) or extended, see above\n"
    "  -j, --jobs=N         threads for one large file (default: one per core;\n"
    "                       the output never changes)\n"
    "  --decode=auto        decode content as above (the default)\n"
    "  --decode=none        read every input as Windows-1252 bytes, as stored\n"
    "  --encoding=cp1252    read input bytes as Windows-1252 (also named\n"
    "                       windows-1252) where they are not decoded (the default)\n"
    "  --format=FORMAT      lines, the lines above (the default), or jsonl, one\n"
    "                       JSON object per entry\n"
    "  -0, --null           end each line with a NUL instead of a line feed,\n"
    "                       for xargs -0\n"
    "  -q, --quiet          nothing on standard error but errors (wins over\n"
    "                       --verbose)\n"
    "  --verbose            report what could not be decoded (a damaged member,\n"
    "                       a limit reached)\n"
    "  -h, --help           show this help\n"
    "  -V, --version        show the version\n"
    "\n"
    "A value may also follow as the next word (--jobs 4, -j 4, -j4); names\n"
    "are taken in any letter case; short options group (-q0); \"--\" ends the\n"
    "options, so that a FILE may begin with \"-\".\n"
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

// Each record ends with `recordEnd`: a line feed, or with --null a NUL.
class LinePrinter final : public EntrySink {
 public:
  LinePrinter(OutputBuffer& out, char recordEnd) : m_out(out), m_recordEnd(recordEnd) {}
  // Stops the scan as soon as the output is gone (a closed pipe).
  SinkReply addEntry(TargetList target, std::string_view entry) override {
    m_out.append(target == TargetList::List1 ? "found\t" : "unknown\t");
    m_out.append(entry);
    m_out.append(std::string_view(&m_recordEnd, 1));
    return m_out.failed() ? SinkReply::Stop : SinkReply::Continue;
  }

 private:
  OutputBuffer& m_out;
  char m_recordEnd;
};

// One piece's lines, printed on the thread that scans the piece.
class PieceLines final : public PieceCollector {
 public:
  explicit PieceLines(char recordEnd) : m_recordEnd(recordEnd) {}
  SinkReply addEntry(TargetList target, std::string_view entry) override {
    text.append(target == TargetList::List1 ? "found\t" : "unknown\t").append(entry).push_back(m_recordEnd);
    return SinkReply::Continue;
  }
  void clear() noexcept override { text.clear(); }
  std::string text;

 private:
  char m_recordEnd;
};

struct ExtractOptions {
  PieceScanOptions pieces;
  DecodeOptions decode;
  OutputFormat format = OutputFormat::Lines;
  char recordEnd = '\n';
  bool quiet = false;  // wins over verbose: only errors on standard error
  bool verbose = false;
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
                 if (jsonl) return std::make_unique<JsonPieceLines>(json.sourceFields(), options.recordEnd);
                 return std::make_unique<PieceLines>(options.recordEnd);
               },
               [&](PieceCollector& piece) {
                 out.append(jsonl ? static_cast<JsonPieceLines&>(piece).text : static_cast<PieceLines&>(piece).text);
                 return out.failed() ? SinkReply::Stop : SinkReply::Continue;
               })
        .failure;
  }
  ContentScanResult scanned = scanContent(input, printer, buffer, options.decode, {}, options.pieces.rules);
  if (options.verbose && !options.quiet && !scanned.notes.empty()) {
    out.flush();  // keep the order of earlier output and the notes
    for (const platform::Failure& note : scanned.notes) printFailure(note);
  }
  return std::move(scanned.failure);
}

}  // namespace

int runExtract(std::span<const std::string_view> args) {
  ExtractOptions options;
  const Option table[] = {
      {"rules", '\0', true, [&](std::string_view v) { return parseRules(v, options.pieces.rules); }},
      {"jobs", 'j', true, [&](std::string_view v) { return parseJobs(v, options.pieces.jobs); }},
      {"decode", '\0', true, [&](std::string_view v) { return parseDecodeMode(v, options.decode.mode); }},
      {"encoding", '\0', true, [](std::string_view v) { return parseEncoding(v); }},
      {"format", '\0', true, [&](std::string_view v) { return parseFormat(v, options.format); }},
      {"null", '0', false,
       [&](std::string_view) {
         options.recordEnd = '\0';
         return true;
       }},
      {"quiet", 'q', false, setFlag(options.quiet)},
      {"verbose", '\0', false, setFlag(options.verbose)},
  };
  std::vector<std::string> files;
  if (const std::optional<int> status = OptionParser("mailsift extract", kHelp, table).parse(args, files)) {
    return *status;
  }
  if (files.empty()) files.emplace_back("-");

  ignoreBrokenPipeSignal();
  OutputBuffer out(stdout);
  LinePrinter lines(out, options.recordEnd);
  JsonLinePrinter json(out, options.recordEnd);
  EntrySink& printer = options.format == OutputFormat::Jsonl ? static_cast<EntrySink&>(json) : lines;
  ReadBuffer buffer;
  int status = 0;
  bool standardInputRead = false;
  for (const std::string& file : files) {
    platform::InputFile input;
    std::optional<platform::Failure> failure;
    if (file == "-") {
      // Read once: a second "-" is empty, also where the input is a regular
      // file that could be read again from its start.
      if (standardInputRead) continue;
      standardInputRead = true;
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
