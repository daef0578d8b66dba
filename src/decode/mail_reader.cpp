// The mail reader: a line source over the stream, and a reader of entities
// (a header block, then a body: a multipart, a message, or a leaf), calling
// itself for nested ones. An encoded leaf is handed over as a reader that
// pulls its lines from the line source as the caller reads, so a part is
// never held whole.
#include "decode/mail_reader.h"

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "decode/charset.h"
#include "decode/mail_header.h"
#include "decode/transfer_encoding.h"

namespace mailsift {
namespace {

constexpr std::size_t kBufferSize = std::size_t{64} << 10;  // also the longest piece of a line
constexpr std::size_t kHeaderLimit = std::size_t{256} << 10;
constexpr int kDeepestNesting = 32;

bool isBlankLine(std::string_view line) noexcept { return line == "\n" || line == "\r\n"; }

// True for ">From ", ">>From " ...: a "From " line that an mbox writer quoted.
bool isQuotedFromLine(std::string_view line) noexcept {
  const std::size_t quotes = line.find_first_not_of('>');
  return quotes > 0 && quotes != std::string_view::npos && line.substr(quotes).starts_with("From ");
}

// True when `line` starts a header field ("Name:" with a printable name) or
// continues one (a leading blank).
bool isHeaderLine(std::string_view line) noexcept {
  if (!line.empty() && (line[0] == ' ' || line[0] == '\t')) return true;
  std::size_t at = 0;
  while (at < line.size() && line[at] > ' ' && line[at] < 127 && line[at] != ':') ++at;
  if (at == 0) return false;
  while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
  return at < line.size() && line[at] == ':';
}

// A piece of the stream: a whole line with its line end or, of a line
// longer than the buffer, a part of it.
struct Piece {
  std::string_view bytes;
  bool startsLine = false;
};

// Reads the source into a fixed buffer and hands it out piece by piece;
// every byte read goes to onRaw first.
class LineSource {
 public:
  LineSource(ByteReader& source, const std::function<MailReply(std::string_view)>& onRaw)
      : m_source(source), m_onRaw(onRaw), m_buffer(std::make_unique<char[]>(kBufferSize)) {}

  // The piece at the front, valid until consume(); nullptr at the end, after
  // a failure and after a stop.
  const Piece* peek();
  void consume() noexcept;
  void stop() noexcept { m_stopped = true; }
  bool stopped() const noexcept { return m_stopped; }
  // True when the line before the piece at the front was blank, or there
  // was none.
  bool afterBlankLine() const noexcept { return m_afterBlankLine; }
  const std::optional<platform::Failure>& failure() const noexcept { return m_failure; }

 private:
  void readMore();

  ByteReader& m_source;
  const std::function<MailReply(std::string_view)>& m_onRaw;
  std::unique_ptr<char[]> m_buffer;
  std::size_t m_begin = 0;  // the unread bytes are m_buffer[m_begin, m_end)
  std::size_t m_end = 0;
  std::size_t m_searched = 0;  // m_buffer[m_begin, m_searched) holds no line end
  Piece m_piece;
  bool m_hasPiece = false;
  bool m_atLineStart = true;
  bool m_afterBlankLine = true;
  bool m_ended = false;
  bool m_stopped = false;
  std::optional<platform::Failure> m_failure;
};

const Piece* LineSource::peek() {
  if (m_stopped) return nullptr;
  if (m_hasPiece) return &m_piece;
  for (;;) {
    // Bytes before m_searched were looked at already: a source that gives a
    // long line a few bytes at a time costs no more than one that gives it
    // at once.
    const std::size_t from = std::max(m_searched, m_begin);
    const void* lineEnd = std::memchr(m_buffer.get() + from, '\n', m_end - from);
    m_searched = lineEnd != nullptr ? from : m_end;
    std::size_t length = 0;
    if (lineEnd != nullptr) {
      length = static_cast<std::size_t>(static_cast<const char*>(lineEnd) - m_buffer.get()) + 1 - m_begin;
    } else if (m_ended || m_end - m_begin == kBufferSize) {
      length = m_end - m_begin;
    }
    if (length > 0) {
      m_piece = {{m_buffer.get() + m_begin, length}, m_atLineStart};
      m_hasPiece = true;
      return &m_piece;
    }
    if (m_ended) return nullptr;
    readMore();
    if (m_stopped) return nullptr;
  }
}

void LineSource::consume() noexcept {
  m_begin += m_piece.bytes.size();
  m_afterBlankLine = m_piece.startsLine && isBlankLine(m_piece.bytes);
  m_atLineStart = m_piece.bytes.back() == '\n';
  m_hasPiece = false;
}

void LineSource::readMore() {
  // The unread bytes move to the front only when the buffer is full up to
  // its end, so each byte moves at most once.
  if (m_end == kBufferSize) {
    std::memmove(m_buffer.get(), m_buffer.get() + m_begin, m_end - m_begin);
    m_end -= m_begin;
    m_searched -= std::min(m_searched, m_begin);
    m_begin = 0;
  }
  ReadOutcome got = m_source.read(m_buffer.get() + m_end, kBufferSize - m_end);
  if (got.bytes > 0) {
    if (m_onRaw && m_onRaw({m_buffer.get() + m_end, got.bytes}) == MailReply::Stop) m_stopped = true;
    m_end += got.bytes;
  }
  if (got.failure) m_failure = std::move(got.failure);
  if (got.bytes == 0 || m_failure) m_ended = true;
}

// What a header block says about its entity's body.
struct EntityHeader {
  std::string type;      // lower case
  std::string boundary;  // of a multipart
  std::string charset;
  std::string fileName;
  std::string encoding;  // the content transfer encoding, lower case
};

bool isEncoded(const EntityHeader& header) noexcept {
  return header.encoding == "base64" || header.encoding == "quoted-printable";
}

// A line that ends a body: a boundary of an enclosing multipart (its level
// in the stack of boundaries), a closing one, or an mbox "From " line.
struct Terminator {
  enum Kind : unsigned char { None, Boundary, Closing, Separator } kind = None;
  std::size_t level = 0;
};

class PartReader;

class MailParser {
 public:
  MailParser(ByteReader& source, const MailCallbacks& callbacks)
      : m_lines(source, callbacks.onRaw), m_callbacks(callbacks) {}

  std::optional<platform::Failure> run();

  LineSource& lines() noexcept { return m_lines; }
  bool isMbox() const noexcept { return m_mbox; }
  bool endsBody(const Piece& piece) const noexcept { return terminatorOf(piece).kind != Terminator::None; }

 private:
  Terminator terminatorOf(const Piece& piece) const noexcept;
  void readEntity(int depth, std::string_view defaultType);
  EntityHeader readHeader(std::string_view defaultType);
  EntityHeader parseHeader(std::string_view block, std::string_view defaultType);
  void readBody(const EntityHeader& header, int depth);
  void readMultipart(const EntityHeader& header, int depth);
  void handOver(const EntityHeader& header);
  void skipBody();

  LineSource m_lines;
  const MailCallbacks& m_callbacks;
  std::vector<std::string> m_boundaries;  // of the enclosing multiparts, outermost first
  bool m_mbox = false;
};

// The decoded body of one part, read line by line from the parser's source
// up to the line that ends it. The line break before that line belongs to
// it, so each line's break is held until the next line shows it is not the
// last.
class PartReader final : public ByteReader {
 public:
  PartReader(MailParser& parser, const EntityHeader& header) : m_parser(parser), m_base64(header.encoding == "base64") {
    if (header.type.starts_with("text/")) m_converter.emplace(header.charset.empty() ? "utf-8" : header.charset);
  }

  [[nodiscard]] ReadOutcome read(char* buffer, std::size_t capacity) override;

 private:
  void decodeNextPiece();
  void decode(std::string_view bytes);
  void finish();

  MailParser& m_parser;
  bool m_base64;
  Base64Decoder m_base64Decoder;
  QuotedPrintableDecoder m_quotedPrintableDecoder;
  std::optional<Utf8Converter> m_converter;  // text parts only
  std::string m_decoded;                     // decoded bytes before their conversion
  std::string m_out;                         // what read() hands out, from m_outAt on
  std::size_t m_outAt = 0;
  std::string_view m_heldBreak;
  bool m_ended = false;
};

ReadOutcome PartReader::read(char* buffer, std::size_t capacity) {
  while (m_outAt == m_out.size() && !m_ended) {
    m_out.clear();
    m_outAt = 0;
    decodeNextPiece();
  }
  if (m_outAt == m_out.size()) return {0, m_parser.lines().failure()};
  const std::size_t bytes = std::min(capacity, m_out.size() - m_outAt);
  std::memcpy(buffer, m_out.data() + m_outAt, bytes);
  m_outAt += bytes;
  return {bytes, std::nullopt};
}

// True when `bytes` reads as words: a blank between two other characters,
// which base64 never has, even damaged.
bool holdsWords(std::string_view bytes) noexcept {
  for (std::size_t at = bytes.find(' ', 1); at != std::string_view::npos && at + 1 < bytes.size();
       at = bytes.find(' ', at + 1)) {
    const char before = bytes[at - 1];
    const char after = bytes[at + 1];
    if (before != ' ' && before != '\t' && after != ' ' && after != '\t' && after != '\r' && after != '\n') {
      return true;
    }
  }
  return false;
}

void PartReader::decodeNextPiece() {
  LineSource& lines = m_parser.lines();
  const Piece* piece = lines.peek();
  if (piece == nullptr || m_parser.endsBody(*piece)) {
    finish();
    return;
  }
  // A base64 body ends at the first line of words, even where the boundary
  // that should come first is missing: what follows is text (read as
  // stored), not something to decode into noise.
  if (m_base64 && holdsWords(piece->bytes)) {
    finish();
    return;
  }
  std::string_view bytes = piece->bytes;
  if (piece->startsLine && m_parser.isMbox() && isQuotedFromLine(bytes)) bytes.remove_prefix(1);
  if (!m_heldBreak.empty()) decode(std::exchange(m_heldBreak, {}));
  if (bytes.ends_with("\r\n")) {
    m_heldBreak = "\r\n";
  } else if (bytes.ends_with('\n')) {
    m_heldBreak = "\n";
  }
  bytes.remove_suffix(m_heldBreak.size());
  decode(bytes);
  lines.consume();
}

void PartReader::decode(std::string_view bytes) {
  std::string& decoded = m_converter ? m_decoded : m_out;
  if (m_base64) {
    m_base64Decoder.decode(bytes, decoded);
  } else {
    m_quotedPrintableDecoder.decode(bytes, decoded);
  }
  if (m_converter) {
    m_converter->toUtf8(m_decoded, m_out);
    m_decoded.clear();
  }
}

void PartReader::finish() {
  std::string& decoded = m_converter ? m_decoded : m_out;
  if (m_base64) {
    m_base64Decoder.finish(decoded);
  } else {
    m_quotedPrintableDecoder.finish(decoded);
  }
  if (m_converter) {
    m_converter->toUtf8(m_decoded, m_out);
    m_converter->finish(m_out);
    m_decoded.clear();
  }
  m_ended = true;
}

std::optional<platform::Failure> MailParser::run() {
  const Piece* first = m_lines.peek();
  m_mbox = first != nullptr && first->bytes.starts_with("From ");
  while (const Piece* piece = m_lines.peek()) {
    if (m_mbox && terminatorOf(*piece).kind == Terminator::Separator) m_lines.consume();
    readEntity(0, "text/plain");
  }
  return m_lines.failure();
}

Terminator MailParser::terminatorOf(const Piece& piece) const noexcept {
  if (!piece.startsLine) return {};
  std::string_view line = piece.bytes;
  if (m_mbox && m_lines.afterBlankLine() && line.starts_with("From ")) return {Terminator::Separator};
  if (m_boundaries.empty() || !line.starts_with("--")) return {};
  line.remove_prefix(2);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
    line.remove_suffix(1);
  }
  // The innermost boundary first, should an outer one begin with it.
  for (std::size_t level = m_boundaries.size(); level-- > 0;) {
    const std::string& boundary = m_boundaries[level];
    if (!line.starts_with(boundary)) continue;
    const std::string_view rest = line.substr(boundary.size());
    if (rest.empty()) return {Terminator::Boundary, level};
    if (rest == "--") return {Terminator::Closing, level};
  }
  return {};
}

void MailParser::readEntity(int depth, std::string_view defaultType) {
  const EntityHeader header = readHeader(defaultType);
  if (!m_lines.stopped()) readBody(header, depth);
}

// Reads the header block up to and including its blank line, or up to a
// line that ends the body or is no header line (the body then begins
// without a blank line). Beyond kHeaderLimit the block's lines are passed over.
EntityHeader MailParser::readHeader(std::string_view defaultType) {
  std::string block;
  while (const Piece* piece = m_lines.peek()) {
    if (terminatorOf(*piece).kind != Terminator::None) break;
    if (piece->startsLine && isBlankLine(piece->bytes)) {
      m_lines.consume();
      break;
    }
    if (piece->startsLine && !isHeaderLine(piece->bytes)) break;
    if (block.size() + piece->bytes.size() <= kHeaderLimit) block += piece->bytes;
    m_lines.consume();
  }
  return parseHeader(block, defaultType);
}

EntityHeader MailParser::parseHeader(std::string_view block, std::string_view defaultType) {
  EntityHeader header{std::string(defaultType), {}, {}, {}, {}};
  std::string fileName;
  std::string name;
  detail::forEachHeaderField(block, [&](std::string_view field, std::string_view value) {
    if (m_callbacks.onHeaderText && !m_lines.stopped() && detail::hasEncodedWord(value) &&
        m_callbacks.onHeaderText(detail::decodeEncodedWords(value)) == MailReply::Stop) {
      m_lines.stop();
    }
    if (detail::equalsIgnoringCase(field, "content-type")) {
      detail::StructuredValue type = detail::parseStructuredValue(value);
      if (type.value.find('/') != std::string::npos) header.type = std::move(type.value);
      header.boundary = type.parameter("boundary");
      header.charset = type.parameter("charset");
      name = type.parameter("name");
    } else if (detail::equalsIgnoringCase(field, "content-disposition")) {
      fileName = detail::parseStructuredValue(value).parameter("filename");
    } else if (detail::equalsIgnoringCase(field, "content-transfer-encoding")) {
      header.encoding = detail::parseStructuredValue(value).value;
    }
  });
  header.fileName = fileName.empty() ? std::move(name) : std::move(fileName);
  if (detail::hasEncodedWord(header.fileName)) header.fileName = detail::decodeEncodedWords(header.fileName);
  return header;
}

void MailParser::readBody(const EntityHeader& header, int depth) {
  const bool mayNest = depth < kDeepestNesting;
  if (mayNest && header.type.starts_with("multipart/") && !header.boundary.empty()) {
    readMultipart(header, depth);
  } else if (mayNest && (header.type == "message/rfc822" || header.type == "message/global") && !isEncoded(header)) {
    readEntity(depth + 1, "text/plain");
  } else if (isEncoded(header) && m_callbacks.onPart) {
    handOver(header);
  } else {
    skipBody();
  }
}

// A multipart: the preamble, each part up to the next boundary, and after
// the closing boundary the epilogue. A boundary that never closes ends with
// an enclosing part or message, or with the stream.
void MailParser::readMultipart(const EntityHeader& header, int depth) {
  m_boundaries.push_back(header.boundary);
  const std::size_t level = m_boundaries.size() - 1;
  const std::string_view partType = header.type == "multipart/digest" ? "message/rfc822" : "text/plain";
  bool closed = false;
  skipBody();
  while (const Piece* piece = m_lines.peek()) {
    const Terminator end = terminatorOf(*piece);
    if ((end.kind != Terminator::Boundary && end.kind != Terminator::Closing) || end.level != level) break;
    m_lines.consume();
    closed = end.kind == Terminator::Closing;
    if (closed) break;
    readEntity(depth + 1, partType);
  }
  m_boundaries.pop_back();
  if (closed) skipBody();
}

void MailParser::handOver(const EntityHeader& header) {
  const MailPart part{header.type, header.fileName, header.type.starts_with("text/")};
  PartReader reader(*this, header);
  if (m_callbacks.onPart(part, reader) == MailReply::Stop) {
    m_lines.stop();
    return;
  }
  skipBody();
}

void MailParser::skipBody() {
  while (const Piece* piece = m_lines.peek()) {
    if (terminatorOf(*piece).kind != Terminator::None) return;
    m_lines.consume();
  }
}

// ---- Recognition -----------------------------------------------------------

// Fields that mark a header block as mail, each between blanks.
// Fields of a message's own header. The fields of a MIME part
// (Content-Type, Content-Transfer-Encoding ...) are left out: a text that
// starts with a part's header alone is a piece of a message, not one.
constexpr std::string_view kMailFields =
    " from to cc subject date message-id received return-path mime-version delivered-to reply-to sender"
    " in-reply-to references x-mailer dkim-signature authentication-results x-original-to envelope-to"
    " user-agent list-id ";

bool isMailField(std::string_view line) noexcept {
  std::string_view name = line.substr(0, line.find(':'));
  name = name.substr(0, name.find_last_not_of(" \t") + 1);
  char key[32];
  if (name.size() + 2 > sizeof key) return false;
  key[0] = ' ';
  std::transform(name.begin(), name.end(), key + 1,
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  key[name.size() + 1] = ' ';
  return kMailFields.find(std::string_view(key, name.size() + 2)) != std::string_view::npos;
}

}  // namespace

bool looksLikeMail(std::string_view head) noexcept {
  if (head.starts_with("From ")) {
    const std::size_t lineEnd = head.find('\n');
    if (lineEnd == std::string_view::npos) return false;
    head.remove_prefix(lineEnd + 1);
  }
  // A header block: a field first, then only fields and their continuations
  // up to a blank line or the end of `head` (whose last line may be cut),
  // with at least two fields that mail uses.
  int mailFields = 0;
  bool first = true;
  while (!head.empty()) {
    const std::size_t lineEnd = head.find('\n');
    if (lineEnd == std::string_view::npos) break;
    const std::string_view line = head.substr(0, lineEnd + 1);
    head.remove_prefix(lineEnd + 1);
    if (isBlankLine(line)) break;
    if (!isHeaderLine(line) || (first && (line[0] == ' ' || line[0] == '\t'))) return false;
    if (line[0] != ' ' && line[0] != '\t' && isMailField(line)) ++mailFields;
    first = false;
  }
  return mailFields >= 2;
}

std::optional<platform::Failure> readMail(ByteReader& source, const MailCallbacks& callbacks) {
  MailParser parser(source, callbacks);
  return parser.run();
}

}  // namespace mailsift
