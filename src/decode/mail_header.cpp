// Header fields: unfolding, structured values with RFC 2231 parameters, and
// RFC 2047 encoded words.
#include "decode/mail_header.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <utility>

#include "decode/charset.h"
#include "decode/transfer_encoding.h"

namespace mailsift::detail {
namespace {

bool isBlank(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char lowerAscii(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowerCase(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), lowerAscii);
  return lower;
}

std::string_view trimmed(std::string_view text) noexcept {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

int hexValue(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  c = lowerAscii(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// ---- Encoded words -------------------------------------------------------

struct EncodedWord {
  std::string_view charset;  // without an RFC 2231 language ("utf-8*en")
  char encoding = 'b';       // 'b' or 'q'
  std::string_view text;
  std::size_t end = 0;  // just past the closing "?="
};

// The encoded word at `start` of `text`, which begins with "=?".
std::optional<EncodedWord> encodedWordAt(std::string_view text, std::size_t start) {
  const std::size_t charsetEnd = text.find('?', start + 2);
  if (charsetEnd == std::string_view::npos || charsetEnd + 2 >= text.size() || text[charsetEnd + 2] != '?') return {};
  EncodedWord word;
  word.charset = text.substr(start + 2, charsetEnd - start - 2);
  word.charset = word.charset.substr(0, word.charset.find('*'));
  word.encoding = lowerAscii(text[charsetEnd + 1]);
  const std::size_t textStart = charsetEnd + 3;
  const std::size_t textEnd = text.find('?', textStart);
  if (word.charset.empty() || (word.encoding != 'b' && word.encoding != 'q') || textEnd == std::string_view::npos ||
      textEnd + 1 >= text.size() || text[textEnd + 1] != '=')
    return {};
  word.text = text.substr(textStart, textEnd - textStart);
  const std::string_view whole = text.substr(start, textEnd + 2 - start);
  if (std::any_of(whole.begin(), whole.end(), isBlank)) return {};
  word.end = textEnd + 2;
  return word;
}

void appendQDecoded(std::string_view text, std::string& out) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '_') {
      out += ' ';
    } else if (text[i] == '=' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
}

// Builds the decoded text: literal pieces and runs of words of one charset.
class EncodedWordJoiner {
 public:
  void addLiteral(std::string_view text) {
    flushWords();
    Utf8Converter literal(Charset::Utf8);
    literal.toUtf8(text, m_out);
    literal.finish(m_out);
  }

  void addWord(const EncodedWord& word) {
    if (!equalsIgnoringCase(word.charset, m_charset)) flushWords();
    m_charset = word.charset;
    if (word.encoding == 'q') {
      appendQDecoded(word.text, m_bytes);
    } else {
      Base64Decoder base64;
      base64.decode(word.text, m_bytes);
      base64.finish(m_bytes);
    }
  }

  std::string take() {
    flushWords();
    return std::move(m_out);
  }

 private:
  void flushWords() {
    if (m_bytes.empty()) return;
    Utf8Converter converter(m_charset);
    converter.toUtf8(m_bytes, m_out);
    converter.finish(m_out);
    m_bytes.clear();
  }

  std::string m_out;
  std::string m_bytes;  // decoded bytes of the words in m_charset so far
  std::string_view m_charset;
};

// ---- Structured values ---------------------------------------------------

// Skips blanks and comments "(...)", which may nest and hold "\)".
std::size_t skipBlanksAndComments(std::string_view text, std::size_t at) noexcept {
  int depth = 0;
  for (; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '\\' && depth > 0) {
      ++at;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')' && depth > 0) {
      --depth;
    } else if (depth == 0 && !isBlank(c)) {
      break;
    }
  }
  return at;
}

// A parameter value at `at`: a quoted string, or everything up to ";".
std::string readParameterValue(std::string_view text, std::size_t& at) {
  std::string value;
  if (at < text.size() && text[at] == '"') {
    for (++at; at < text.size() && text[at] != '"'; ++at) {
      if (text[at] == '\\' && at + 1 < text.size()) ++at;
      value += text[at];
    }
    at = text.find(';', at);
    return value;
  }
  const std::size_t end = std::min(text.find(';', at), text.size());
  value = trimmed(text.substr(at, end - at));
  at = end;
  return value;
}

struct Section {
  unsigned index;
  bool extended;
  std::string value;
};

struct SectionedParameter {
  std::string name;
  std::vector<Section> sections;
};

std::string percentDecoded(std::string_view text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
      bytes += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      i += 2;
    } else {
      bytes += text[i];
    }
  }
  return bytes;
}

// Joins the sections of an RFC 2231 parameter: charset'language'value in the
// first extended one, percent escapes in every extended one.
std::string joinedSections(std::vector<Section>& sections) {
  std::stable_sort(sections.begin(), sections.end(),
                   [](const Section& a, const Section& b) { return a.index < b.index; });
  std::string charset;
  std::string bytes;
  for (std::size_t i = 0; i < sections.size(); ++i) {
    std::string_view value = sections[i].value;
    if (!sections[i].extended) {
      bytes += value;
      continue;
    }
    const std::size_t firstQuote = value.find('\'');
    const std::size_t secondQuote =
        firstQuote == std::string_view::npos ? firstQuote : value.find('\'', firstQuote + 1);
    if (i == 0 && secondQuote != std::string_view::npos) {
      charset = value.substr(0, firstQuote);
      value.remove_prefix(secondQuote + 1);
    }
    bytes += percentDecoded(value);
  }
  return toUtf8(charset.empty() ? "utf-8" : charset, bytes);
}

// Files a parameter named with "*" under its base name; false for a plain name.
bool addSection(std::string_view name, std::string value, std::vector<SectionedParameter>& sectioned) {
  const std::size_t star = name.find('*');
  if (star == std::string_view::npos) return false;
  std::string_view rest = name.substr(star + 1);
  const bool extended = !rest.empty() && rest.back() == '*';
  if (extended) rest.remove_suffix(1);
  unsigned index = 0;
  for (const char c : rest) {
    if (c < '0' || c > '9' || index > 100000) return false;
    index = index * 10 + static_cast<unsigned>(c - '0');
  }
  const std::string base(name.substr(0, star));
  auto found = std::find_if(sectioned.begin(), sectioned.end(),
                            [&](const SectionedParameter& parameter) { return parameter.name == base; });
  if (found == sectioned.end()) found = sectioned.insert(sectioned.end(), SectionedParameter{base, {}});
  found->sections.push_back({index, extended || rest.empty(), std::move(value)});
  return true;
}

}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) noexcept {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

void forEachHeaderField(std::string_view block,
                        const std::function<void(std::string_view name, std::string_view value)>& onField) {
  std::string name;
  std::string value;
  bool inField = false;
  const auto emit = [&] {
    if (inField) onField(name, trimmed(value));
    inField = false;
  };
  while (!block.empty()) {
    const std::size_t end = std::min(block.find('\n'), block.size());
    std::string_view line = block.substr(0, end);
    block.remove_prefix(std::min(end + 1, block.size()));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
      if (inField) value += line;
      continue;
    }
    emit();
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || trimmed(line.substr(0, colon)).empty()) continue;
    name = trimmed(line.substr(0, colon));
    value = line.substr(colon + 1);
    inField = true;
  }
  emit();
}

bool hasEncodedWord(std::string_view text) noexcept {
  const std::size_t start = text.find("=?");
  return start != std::string_view::npos && text.find("?=", start + 2) != std::string_view::npos;
}

std::string decodeEncodedWords(std::string_view text) {
  EncodedWordJoiner joiner;
  bool afterWord = false;
  std::size_t at = 0;
  for (std::size_t start = text.find("=?"); start != std::string_view::npos; start = text.find("=?", start + 2)) {
    const std::optional<EncodedWord> word = encodedWordAt(text, start);
    if (!word) continue;
    const std::string_view between = text.substr(at, start - at);
    if (!afterWord || !trimmed(between).empty()) joiner.addLiteral(between);
    joiner.addWord(*word);
    afterWord = true;
    at = word->end;
    start = at - 2;
  }
  joiner.addLiteral(text.substr(at));
  return joiner.take();
}

std::string_view StructuredValue::parameter(std::string_view name) const noexcept {
  for (const Parameter& candidate : parameters) {
    if (candidate.name == name) return candidate.value;
  }
  return {};
}

StructuredValue parseStructuredValue(std::string_view text) {
  StructuredValue result;
  std::size_t at = std::min(text.find(';'), text.size());
  const std::string_view head = text.substr(0, at);
  result.value = lowerCase(trimmed(head.substr(0, std::min(head.find('('), head.size()))));
  std::vector<SectionedParameter> sectioned;
  std::vector<StructuredValue::Parameter> plain;
  while (at < text.size()) {
    at = skipBlanksAndComments(text, at + 1);
    const std::size_t equals = text.find_first_of("=;", at);
    if (equals == std::string_view::npos || text[equals] == ';') {
      at = equals == std::string_view::npos ? text.size() : equals;
      continue;
    }
    const std::string name = lowerCase(trimmed(text.substr(at, equals - at)));
    at = skipBlanksAndComments(text, equals + 1);
    std::string value = readParameterValue(text, at);
    if (!addSection(name, value, sectioned)) plain.push_back({name, std::move(value)});
  }
  for (SectionedParameter& parameter : sectioned) {
    result.parameters.push_back({parameter.name, joinedSections(parameter.sections)});
  }
  result.parameters.insert(result.parameters.end(), plain.begin(), plain.end());
  return result;
}

}  // namespace mailsift::detail
