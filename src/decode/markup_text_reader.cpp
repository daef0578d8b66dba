// The markup reader: a state machine over the source's bytes that writes
// text into a buffer of its own, one source piece at a time, and hands that
// buffer out. A piece of markup never makes more than about twice its size
// in text, so the buffer stays near the size of one piece.
#include "decode/markup_text_reader.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "decode/character_references.h"

namespace mailsift {
namespace {

constexpr std::size_t kInputSize = std::size_t{16} << 10;
constexpr std::size_t kTagLimit = std::size_t{8} << 10;        // of a tag, only this much is looked at
constexpr std::size_t kReferenceLimit = 40;                    // "&#x0010FFFF;" and every name fit
constexpr std::size_t kAttributeLimit = std::size_t{4} << 10;  // kept values waiting for a line end
constexpr std::size_t kNameLimit = 32;                         // longer names are in none of the tables

// Elements that end a line, by local name (after any "w:" or "text:"
// prefix), lower case, sorted: HTML blocks, line breaks and cells; office
// XML paragraphs (w:p, a:p, text:p, text:h), breaks, table cells and rows,
// list items; xlsx strings and cells (si, c, row).
constexpr std::array<std::string_view, 53> kLineTags = {
    "address", "article",    "aside",     "blockquote", "body",       "br",     "c",          "caption",   "cr",
    "dd",      "div",        "dl",        "dt",         "figcaption", "figure", "footer",     "form",      "h",
    "h1",      "h2",         "h3",        "h4",         "h5",         "h6",     "head",       "header",    "hr",
    "li",      "line-break", "list-item", "main",       "nav",        "ol",     "option",     "p",         "pre",
    "row",     "script",     "section",   "si",         "style",      "table",  "table-cell", "table-row", "tbody",
    "tc",      "td",         "tfoot",     "th",         "thead",      "title",  "tr",         "ul"};

// Attributes whose values are kept, by local name, lower case, sorted; and
// every "data-*" attribute.
constexpr std::array<std::string_view, 10> kKeptAttributes = {"action",      "alt", "content", "href",  "label",
                                                              "placeholder", "src", "target",  "title", "value"};

static_assert(std::is_sorted(kLineTags.begin(), kLineTags.end()));
static_assert(std::is_sorted(kKeptAttributes.begin(), kKeptAttributes.end()));

bool isAsciiLetter(char c) noexcept { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isAsciiAlnum(char c) noexcept { return isAsciiLetter(c) || (c >= '0' && c <= '9'); }
bool isBlank(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
char lowerAscii(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// `name` in lower case in `into`; empty when it is too long to be one we know.
std::string_view lowerName(std::string_view name, std::array<char, kNameLimit>& into) noexcept {
  if (name.size() > into.size()) return {};
  std::transform(name.begin(), name.end(), into.begin(), lowerAscii);
  return {into.data(), name.size()};
}

std::string_view localName(std::string_view name) noexcept {
  const std::size_t colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

bool isKeptAttribute(std::string_view lowerName) noexcept {
  const std::string_view local = localName(lowerName);
  return local.starts_with("data-") || std::binary_search(kKeptAttributes.begin(), kKeptAttributes.end(), local);
}

void appendUtf8(std::string& into, char32_t c) {
  const auto byte = [](std::uint32_t value) { return static_cast<char>(value); };
  const auto value = static_cast<std::uint32_t>(c);
  if (value < 0x80) {
    into += byte(value);
  } else if (value < 0x800) {
    into += byte(0xC0 | (value >> 6));
    into += byte(0x80 | (value & 0x3F));
  } else if (value < 0x10000) {
    into += byte(0xE0 | (value >> 12));
    into += byte(0x80 | ((value >> 6) & 0x3F));
    into += byte(0x80 | (value & 0x3F));
  } else {
    into += byte(0xF0 | (value >> 18));
    into += byte(0x80 | ((value >> 12) & 0x3F));
    into += byte(0x80 | ((value >> 6) & 0x3F));
    into += byte(0x80 | (value & 0x3F));
  }
}

// `text` with its character references undone, appended to `into`.
void appendDecoded(std::string& into, std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t amp = std::min(text.find('&', at), text.size());
    into.append(text.substr(at, amp - at));
    if (amp == text.size()) break;
    const std::optional<DecodedReference> decoded = decodeCharacterReference(text.substr(amp));
    if (decoded) {
      appendUtf8(into, decoded->character);
      at = amp + decoded->length;
    } else {
      into += '&';
      at = amp + 1;
    }
  }
}

// Where the reader is in the markup.
enum class Mode : unsigned char {
  Text,       // between tags
  Reference,  // after "&", reading a character reference
  Open,       // just after "<"
  Bang,       // after "<!": a comment, CDATA or a declaration
  Tag,        // in a start or end tag
  Skip,       // in a declaration or processing instruction, up to ">"
  Comment,    // in a comment, up to "-->"
  CData,      // in a CDATA section, up to "]]>"
  RawText,    // in <script> or <style>, up to its end tag
};

}  // namespace

struct MarkupTextReader::State {
  std::array<char, kInputSize> input{};
  std::string out;  // text made from the last source piece, handed out from outAt
  std::size_t outAt = 0;
  bool ended = false;
  std::optional<platform::Failure> failure;

  Mode mode = Mode::Text;
  std::string pending;  // the reference, declaration start or tag being read
  char quote = 0;       // the quote of the attribute value the tag is in, or 0
  bool valueNext = false;
  std::size_t closers = 0;  // "-" or "]" in a row, which may end a comment or CDATA
  std::string rawEnd;       // "</script" or "</style" in RawText
  std::string attributes;   // kept values, waiting for the next line end
  bool atLineStart = true;

  void process(std::string_view in);
  void finish();

 private:
  std::size_t step(std::string_view in);
  std::size_t text(std::string_view in);
  std::size_t reference(std::string_view in);
  std::size_t open(std::string_view in);
  std::size_t bang(std::string_view in);
  std::size_t tag(std::string_view in);
  std::size_t skip(std::string_view in);
  std::size_t verbatimUntilClosed(std::string_view in, char closer);
  std::size_t rawText(std::string_view in);
  void finishTag();
  void keepAttributes(std::string_view rest);
  void keepValue(std::string_view value);

  void emit(std::string_view text) {
    if (text.empty()) return;
    out.append(text);
    atLineStart = text.back() == '\n';
  }
  void emit(char c) { emit(std::string_view(&c, 1)); }
  void emitClosers(char closer) {
    if (closers == 0) return;
    out.append(closers, closer);
    closers = 0;
    atLineStart = false;
  }
  // A line end (never two in a row), then the kept attribute values as a
  // line of their own.
  void lineEnd() {
    if (!atLineStart) emit('\n');
    if (attributes.empty()) return;
    attributes += '\n';
    emit(attributes);
    attributes.clear();
  }
};

void MarkupTextReader::State::process(std::string_view in) {
  while (!in.empty()) in.remove_prefix(step(in));
}

// Each mode's reader takes what it can from `in` and returns how much. One
// that returns 0 has changed the mode, so the loop always moves on.
std::size_t MarkupTextReader::State::step(std::string_view in) {
  switch (mode) {
    case Mode::Text:
      return text(in);
    case Mode::Reference:
      return reference(in);
    case Mode::Open:
      return open(in);
    case Mode::Bang:
      return bang(in);
    case Mode::Tag:
      return tag(in);
    case Mode::Skip:
      return skip(in);
    case Mode::Comment:
      return verbatimUntilClosed(in, '-');
    case Mode::CData:
      return verbatimUntilClosed(in, ']');
    case Mode::RawText:
      return rawText(in);
  }
  return in.size();
}

std::size_t MarkupTextReader::State::text(std::string_view in) {
  const auto* special = std::find_if(in.begin(), in.end(), [](char c) { return c == '<' || c == '&'; });
  const auto at = static_cast<std::size_t>(special - in.begin());
  emit(in.substr(0, at));
  if (at == in.size()) return at;
  mode = in[at] == '<' ? Mode::Open : Mode::Reference;
  pending.assign(1, in[at]);
  return at + 1;
}

std::size_t MarkupTextReader::State::reference(std::string_view in) {
  const char c = in[0];
  if (isAsciiAlnum(c) || (c == '#' && pending.size() == 1)) {
    pending += c;
    if (pending.size() < kReferenceLimit) return 1;
    emit(pending);  // too long to be a reference
    mode = Mode::Text;
    return 1;
  }
  mode = Mode::Text;
  if (c != ';') {
    emit(pending);
    return 0;  // `c` is text again; it may start markup
  }
  pending += ';';
  const std::optional<DecodedReference> decoded = decodeCharacterReference(pending);
  if (decoded && decoded->length == pending.size()) {
    std::string utf8;
    appendUtf8(utf8, decoded->character);
    emit(utf8);
  } else {
    emit(pending);
  }
  return 1;
}

std::size_t MarkupTextReader::State::open(std::string_view in) {
  const char c = in[0];
  pending.clear();
  if (isAsciiLetter(c) || c == '/') {
    mode = Mode::Tag;
    quote = 0;
    valueNext = false;
    return 0;
  }
  if (c == '!' || c == '?') {
    mode = c == '!' ? Mode::Bang : Mode::Skip;
    return 1;
  }
  emit('<');  // "a < b": not markup
  mode = Mode::Text;
  return 0;
}

std::size_t MarkupTextReader::State::bang(std::string_view in) {
  constexpr std::string_view kComment = "--";
  constexpr std::string_view kCData = "[CDATA[";
  const char c = in[0];
  if (c == '>') {
    mode = Mode::Text;  // "<!>", or "<!-" cut short
    return 1;
  }
  pending += c;
  closers = 0;
  if (pending == kComment) {
    lineEnd();
    mode = Mode::Comment;
  } else if (pending == kCData) {
    mode = Mode::CData;
  } else if (!kComment.starts_with(pending) && !kCData.starts_with(pending)) {
    mode = Mode::Skip;  // <!DOCTYPE ...>
  }
  return 1;
}

std::size_t MarkupTextReader::State::tag(std::string_view in) {
  // A quote opens a value only after "=", as in HTML, so "<don't>" ends at
  // its ">". A ">" inside a quoted value does not end the tag.
  std::size_t at = 0;
  for (; at < in.size(); ++at) {
    const char c = in[at];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '>') {
      break;
    } else if ((c == '"' || c == '\'') && valueNext) {
      quote = c;
      valueNext = false;
    } else if (c == '=') {
      valueNext = true;
    } else if (!isBlank(c)) {
      valueNext = false;
    }
  }
  pending.append(in.substr(0, std::min(at, kTagLimit - std::min(kTagLimit, pending.size()))));
  if (at == in.size()) return at;
  finishTag();
  return at + 1;
}

std::size_t MarkupTextReader::State::skip(std::string_view in) {
  const std::size_t end = in.find('>');
  if (end == std::string_view::npos) return in.size();
  mode = Mode::Text;
  return end + 1;
}

// Comment or CDATA content, verbatim, up to two or more `closer` and ">".
std::size_t MarkupTextReader::State::verbatimUntilClosed(std::string_view in, char closer) {
  std::size_t at = 0;
  while (at < in.size()) {
    const char c = in[at];
    if (c == closer) {
      ++closers;
      ++at;
    } else if (c == '>' && closers >= 2) {
      closers -= 2;
      emitClosers(closer);
      if (mode == Mode::Comment) lineEnd();
      mode = Mode::Text;
      return at + 1;
    } else {
      emitClosers(closer);
      const std::size_t end = std::min(in.find_first_of(closer == '-' ? "->" : "]>", at + 1), in.size());
      emit(in.substr(at, end - at));
      at = end;
    }
  }
  return at;
}

// Script or style, verbatim, up to "</script" or "</style" in any case and
// then a blank, "/" or ">" (so "</styles>" is content); `pending` holds what
// may be the start of that end tag.
std::size_t MarkupTextReader::State::rawText(std::string_view in) {
  std::size_t at = 0;
  while (at < in.size()) {
    if (pending.empty()) {
      const std::size_t lt = std::min(in.find('<', at), in.size());
      emit(in.substr(at, lt - at));
      at = lt;
      if (at == in.size()) break;
    }
    const char c = in[at];
    if (pending.size() == rawEnd.size()) {
      if (isBlank(c) || c == '/' || c == '>') {
        mode = Mode::Tag;  // the rest of the end tag, up to its ">"
        pending.erase(0, 1);
        quote = 0;
        valueNext = false;
        return at;
      }
    } else if (lowerAscii(c) == rawEnd[pending.size()]) {
      pending += c;
      ++at;
      continue;
    }
    emit(pending);  // not the end tag after all
    pending.clear();
    if (c != '<') emit(in[at++]);  // a "<" may start the end tag: look again
  }
  return at;
}

void MarkupTextReader::State::finishTag() {
  mode = Mode::Text;
  std::string_view body = pending;
  const bool closing = body.starts_with('/');
  if (closing) body.remove_prefix(1);
  const bool selfClosing = body.ends_with('/');
  const std::size_t nameEnd = std::min(body.find_first_of(" \t\r\n\f/"), body.size());
  std::array<char, kNameLimit> buffer{};
  const std::string_view name = lowerName(body.substr(0, nameEnd), buffer);
  const std::string_view local = localName(name);
  if (!closing) keepAttributes(body.substr(nameEnd));
  if (std::binary_search(kLineTags.begin(), kLineTags.end(), local)) {
    lineEnd();
  } else if ((local == "tab" || name == "text:s") && !atLineStart) {
    emit(' ');
  }
  if (!closing && !selfClosing && (local == "script" || local == "style")) {
    mode = Mode::RawText;
    rawEnd = "</";
    rawEnd += local;
    pending.clear();
  }
}

// The attributes after a tag's name: name, name=value, name="value".
void MarkupTextReader::State::keepAttributes(std::string_view rest) {
  const auto skipBlanks = [&rest] {
    while (!rest.empty() && (isBlank(rest.front()) || rest.front() == '/')) rest.remove_prefix(1);
  };
  for (skipBlanks(); !rest.empty(); skipBlanks()) {
    const std::size_t nameEnd = std::max<std::size_t>(1, std::min(rest.find_first_of(" \t\r\n\f/="), rest.size()));
    std::array<char, kNameLimit> buffer{};
    const std::string_view name = lowerName(rest.substr(0, nameEnd), buffer);
    rest.remove_prefix(nameEnd);
    while (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);
    if (!rest.starts_with('=')) continue;
    rest.remove_prefix(1);
    while (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);
    std::string_view value;
    if (rest.starts_with('"') || rest.starts_with('\'')) {
      const std::size_t close = std::min(rest.find(rest.front(), 1), rest.size());
      value = rest.substr(1, close - 1);
      rest.remove_prefix(std::min(close + 1, rest.size()));
    } else {
      const std::size_t end = std::min(rest.find_first_of(" \t\r\n\f"), rest.size());
      value = rest.substr(0, end);
      rest.remove_prefix(end);
    }
    if (!name.empty() && isKeptAttribute(name)) keepValue(value);
  }
}

void MarkupTextReader::State::keepValue(std::string_view value) {
  if (value.empty()) return;
  // A page of links before the first line end: let the values out early,
  // at a tag, rather than hold them without bound.
  if (attributes.size() + value.size() > kAttributeLimit) lineEnd();
  if (!attributes.empty()) attributes += ' ';
  appendDecoded(attributes, value);
}

void MarkupTextReader::State::finish() {
  switch (mode) {
    case Mode::Reference:
      emit(pending);
      break;
    case Mode::Open:
      emit('<');
      break;
    case Mode::Comment:
      emitClosers('-');
      break;
    case Mode::CData:
      emitClosers(']');
      break;
    case Mode::RawText:
      emit(pending);
      break;
    default:
      break;  // an unfinished tag or declaration says nothing
  }
  mode = Mode::Text;
  if (!attributes.empty()) lineEnd();
}

MarkupTextReader::MarkupTextReader(ByteReader& source) : m_source(source), m_state(std::make_unique<State>()) {}

MarkupTextReader::~MarkupTextReader() = default;

ReadOutcome MarkupTextReader::read(char* buffer, std::size_t capacity) {
  State& state = *m_state;
  while (state.outAt == state.out.size()) {
    if (state.ended) return {0, state.failure};
    state.out.clear();
    state.outAt = 0;
    ReadOutcome got = m_source.read(state.input.data(), state.input.size());
    if (got.bytes > 0) state.process({state.input.data(), got.bytes});
    if (got.failure || got.bytes == 0) {
      state.finish();
      state.ended = true;
      state.failure = std::move(got.failure);
    }
  }
  const std::size_t bytes = std::min(capacity, state.out.size() - state.outAt);
  std::copy_n(state.out.data() + state.outAt, bytes, buffer);
  state.outAt += bytes;
  return {bytes, std::nullopt};
}

bool isMarkupMember(std::string_view name, std::string_view head) noexcept {
  constexpr std::array<std::string_view, 11> kSuffixes = {".xml", ".rels", ".html", ".htm", ".xhtml", ".xht",
                                                          ".svg", ".opf",  ".ncx",  ".xsl", ".xslt"};
  const auto endsWith = [name](std::string_view suffix) {
    return name.size() >= suffix.size() &&
           std::equal(suffix.begin(), suffix.end(), name.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](char a, char b) { return a == lowerAscii(b); });
  };
  if (std::any_of(kSuffixes.begin(), kSuffixes.end(), endsWith)) return true;

  if (head.starts_with("\xEF\xBB\xBF")) head.remove_prefix(3);
  while (!head.empty() && isBlank(head.front())) head.remove_prefix(1);
  constexpr std::array<std::string_view, 4> kStarts = {"<?xml", "<!doctype html", "<html", "<svg"};
  return std::any_of(kStarts.begin(), kStarts.end(), [head](std::string_view start) {
    return head.size() >= start.size() &&
           std::equal(start.begin(), start.end(), head.begin(), [](char a, char b) { return a == lowerAscii(b); });
  });
}

}  // namespace mailsift
