// Delimiter keywords, the export text and its write.
#include "results/csv_export.h"

#include <string>

#include "platform/atomic_write.h"

namespace mailsift {
namespace {

std::string replaceAll(std::string_view text, std::string_view keyword, std::string_view replacement) {
  std::string result;
  result.reserve(text.size());
  std::size_t from = 0;
  for (std::size_t found = text.find(keyword); found != std::string_view::npos; found = text.find(keyword, from)) {
    result.append(text.substr(from, found - from));
    result.append(replacement);
    from = found + keyword.size();
  }
  result.append(text.substr(from));
  return result;
}

// Lower-cases A-Z and the Latin-1 and Windows-1252 capitals in UTF-8. Each
// capital and its small letter have the same length, so this works in place.
void lowerCase(std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 'A' && byte <= 'Z') {
      text[i] = static_cast<char>(byte + ('a' - 'A'));
      continue;
    }
    if (i + 1 == text.size() || (byte != 0xC3 && byte != 0xC5)) continue;
    const auto next = static_cast<unsigned char>(text[i + 1]);
    if (byte == 0xC3 && next >= 0x80 && next <= 0x9E && next != 0x97) {
      text[i + 1] = static_cast<char>(next + 0x20);  // À..Þ to à..þ, skipping ×
    } else if (byte == 0xC5 && (next == 0xA0 || next == 0x92 || next == 0xBD)) {
      text[i + 1] = static_cast<char>(next + 1);  // Š Œ Ž to š œ ž
    } else if (byte == 0xC5 && next == 0xB8) {
      text[i] = static_cast<char>(0xC3);  // Ÿ to ÿ
      text[i + 1] = static_cast<char>(0xBF);
    } else {
      continue;
    }
    ++i;
  }
}

}  // namespace

bool isBlank(std::string_view text) noexcept { return text.find_first_not_of(' ') == std::string_view::npos; }

std::optional<std::string> exportDelimiter(std::string_view answer) {
  if (isBlank(answer)) return std::nullopt;
  std::string delimiter = replaceAll(answer, "br", "\r\n");
  lowerCase(delimiter);
  delimiter = replaceAll(delimiter, "tb", "\t");
  lowerCase(delimiter);
  return delimiter;
}

std::string exportText(const ResultLists& lists, std::string_view delimiter) {
  const std::size_t count = lists.count(ListId::List1);
  std::size_t size = 0;
  for (std::size_t i = 0; i < count; ++i) size += lists.at(ListId::List1, i).size() + delimiter.size();
  std::string text;
  text.reserve(size);
  for (std::size_t i = 0; i < count; ++i) {
    if (i != 0) text.append(delimiter);
    text.append(lists.at(ListId::List1, i));
  }
  return text;
}

std::optional<platform::Failure> exportList1(const ResultLists& lists, std::string_view delimiter,
                                             const std::string& path) {
  return platform::writeFileReplacing(path, exportText(lists, delimiter));
}

std::string exportErrorDescription(const platform::Failure& failure) {
  return "Cannot write \"" + failure.target + "\": " + failure.message;
}

}  // namespace mailsift
