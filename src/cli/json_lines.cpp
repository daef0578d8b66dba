// Writing lines of JSON. The writer is our own rather than a JSON library:
// the objects are flat and fixed, and an entry object is appended straight
// into the output's buffer, escaping in runs, so that `extract
// --format=jsonl` over a large file costs little more than the plain lines;
// a library would build a value per object first.
#include "cli/json_lines.h"

#include <array>
#include <charconv>
#include <cstdio>

#include "app/display_text.h"

namespace mailsift::cli {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Bytes that stop a run of bytes copied as they are.
constexpr std::array<bool, 256> kSpecial = [] {
  std::array<bool, 256> special{};
  for (std::size_t b = 0; b < 0x20; ++b) special[b] = true;
  special['"'] = special['\\'] = special[0x7F] = true;
  for (std::size_t b = 0x80; b < 0x100; ++b) special[b] = true;
  return special;
}();

void appendNumber(std::string& out, std::uint64_t number) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  out.append(digits, end);
}

void appendField(std::string& out, std::string_view key, std::uint64_t number) {
  out.append(",\"").append(key).append("\":");
  appendNumber(out, number);
}

}  // namespace

bool appendJsonText(std::string& out, std::string_view text) {
  bool valid = true;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t runStart = i;
    while (i < text.size() && !kSpecial[static_cast<unsigned char>(text[i])]) ++i;
    out.append(text.substr(runStart, i - runStart));
    if (i == text.size()) break;
    const auto b = static_cast<unsigned char>(text[i]);
    if (b >= 0x80) {
      if (const std::size_t length = utf8Length(text.substr(i))) {
        out.append(text.substr(i, length));
        i += length;
      } else {
        out.append(kReplacement);
        valid = false;
        ++i;
      }
      continue;
    }
    ++i;
    switch (b) {
      case '"':
        out.append("\\\"");
        break;
      case '\\':
        out.append("\\\\");
        break;
      case '\n':
        out.append("\\n");
        break;
      case '\r':
        out.append("\\r");
        break;
      case '\t':
        out.append("\\t");
        break;
      case '\b':
        out.append("\\b");
        break;
      case '\f':
        out.append("\\f");
        break;
      default: {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(b));
        out.append(escape);
      }
    }
  }
  return valid;
}

void appendBase64(std::string& out, std::string_view bytes) {
  static constexpr std::string_view kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const auto group = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16 |
                       static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8 |
                       static_cast<unsigned char>(bytes[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) out.push_back(kDigits[(group >> shift) & 0x3F]);
  }
  const std::size_t rest = bytes.size() - i;
  if (rest == 0) return;
  std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
  if (rest == 2) group |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
  out.push_back(kDigits[(group >> 18) & 0x3F]);
  out.push_back(kDigits[(group >> 12) & 0x3F]);
  out.push_back(rest == 2 ? kDigits[(group >> 6) & 0x3F] : '=');
  out.push_back('=');
}

std::string jsonSourceFields(std::string_view source) {
  std::string fields = "\"source\":\"";
  const bool valid = appendJsonText(fields, source);
  fields.push_back('"');
  if (!valid) {
    fields.append(",\"source_bytes\":\"");
    appendBase64(fields, source);
    fields.push_back('"');
  }
  return fields;
}

void appendEntryObject(std::string& out, TargetList target, std::string_view entry, std::string_view sourceFields,
                       const EntryOrigin& origin, char recordEnd) {
  out.append("{\"type\":\"entry\",\"entry\":\"");
  appendJsonText(out, entry);
  out.append(target == TargetList::List1 ? "\",\"list\":\"found\"," : "\",\"list\":\"unknown\",");
  out.append(sourceFields);
  appendField(out, "offset", origin.offset);
  if (!origin.view.empty()) {
    out.append(",\"decoded\":\"");
    appendJsonText(out, origin.view);
    out.push_back('"');
  }
  out.push_back('}');
  out.push_back(recordEnd);
}

void appendSummaryObject(std::string& out, const ScanSummaryFigures& figures, char recordEnd) {
  out.append("{\"type\":\"summary\"");
  appendField(out, "found", figures.found);
  appendField(out, "unknown", figures.unknown);
  appendField(out, "duplicate", figures.duplicate);
  appendField(out, "duplicates_removed", figures.duplicatesRemoved);
  appendField(out, "unreadable_files", figures.unreadableFiles);
  appendField(out, "unlisted_folders", figures.unlistedFolders);
  appendField(out, "failed_sources", figures.failedSources);
  // to_chars, unlike printf, never writes a locale's decimal comma.
  char seconds[32];
  const auto end = std::to_chars(seconds, seconds + sizeof seconds, figures.seconds, std::chars_format::fixed, 3).ptr;
  out.append(",\"seconds\":").append(seconds, end).push_back('}');
  out.push_back(recordEnd);
}

SinkReply JsonLinePrinter::addEntryFrom(TargetList target, std::string_view entry, const EntryOrigin& origin) {
  m_line.clear();
  appendEntryObject(m_line, target, entry, m_sourceFields, origin, m_recordEnd);
  m_out.append(m_line);
  return m_out.failed() ? SinkReply::Stop : SinkReply::Continue;
}

}  // namespace mailsift::cli
