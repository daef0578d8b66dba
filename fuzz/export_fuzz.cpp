// The export on any delimiter answer and any entries: the input's first line
// is the answer typed at the delimiter prompt, every further line an entry
// for List1. The delimiter must follow its keyword rules; List1 must hold
// the entries in its order; the export text must be exactly List1 joined by
// the delimiter, and must split back into List1 wherever the delimiter has
// a byte no entry has (no quoting is promised beyond that); the written
// file must hold exactly the export text. The same again after duplicate
// removal.
#include <unistd.h>

#include <algorithm>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "results/csv_export.h"
#include "results/entry_order.h"

namespace mailsift {
namespace {

bool isValidUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80                    ? 1
                               : lead >= 0xC2 && lead <= 0xDF ? 2
                               : (lead & 0xF0) == 0xE0        ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    if (length == 3 && ((lead == 0xE0 && static_cast<unsigned char>(text[i + 1]) < 0xA0) ||
                        (lead == 0xED && static_cast<unsigned char>(text[i + 1]) >= 0xA0))) {
      return false;
    }
    if (length == 4 && ((lead == 0xF0 && static_cast<unsigned char>(text[i + 1]) < 0x90) ||
                        (lead == 0xF4 && static_cast<unsigned char>(text[i + 1]) >= 0x90))) {
      return false;
    }
    i += length;
  }
  return true;
}

// The delimiter's promises: nothing for a blank answer; otherwise no
// capital A to Z, no "tb" left, never longer than the answer (each keyword
// shrinks or keeps its length), UTF-8 when the answer is, and unchanged by
// a second pass unless a "br" (from "BR") is in it.
void checkDelimiter(std::string_view answer, const std::optional<std::string>& delimiter) {
  FUZZ_FAIL_IF(isBlank(answer) != !delimiter.has_value());
  if (!delimiter) return;
  const std::string& d = *delimiter;
  FUZZ_FAIL_IF(std::any_of(d.begin(), d.end(), [](char c) { return c >= 'A' && c <= 'Z'; }));
  FUZZ_FAIL_IF(d.find("tb") != std::string::npos || d.size() > answer.size() || isBlank(d));
  FUZZ_FAIL_IF(isValidUtf8(answer) && !isValidUtf8(d));
  FUZZ_FAIL_IF(d.find("br") == std::string::npos && exportDelimiter(d) != d);
}

std::vector<std::string> splitAt(std::string_view text, std::string_view delimiter) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (std::size_t at = text.find(delimiter); at != std::string_view::npos; at = text.find(delimiter, from)) {
    parts.emplace_back(text.substr(from, at - from));
    from = at + delimiter.size();
  }
  parts.emplace_back(text.substr(from));
  return parts;
}

const std::string& exportFolder() {
  // Never destroyed: the clean-up at exit still needs it.
  static const std::string& folder = *[] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/export_fuzz.XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(exportFolder(), ignored);
    });
    return new std::string(pattern);
  }();
  return folder;
}

void checkExport(const ResultLists& lists, const std::vector<std::string>& added, const std::string& delimiter) {
  const std::size_t count = lists.count(ListId::List1);
  std::vector<std::string> list;
  for (std::size_t i = 0; i < count; ++i) list.emplace_back(lists.at(ListId::List1, i));
  for (std::size_t i = 1; i < count; ++i) {
    const std::strong_ordering forward = compareEntries(list[i - 1], list[i]);
    const std::strong_ordering backward = compareEntries(list[i], list[i - 1]);
    FUZZ_FAIL_IF(forward > 0 || (forward == 0) != (list[i - 1] == list[i]) || (forward < 0) != (backward > 0));
  }
  std::vector<std::string> sortedAdded = added;
  std::vector<std::string> sortedList = list;
  std::sort(sortedAdded.begin(), sortedAdded.end());
  std::sort(sortedList.begin(), sortedList.end());
  FUZZ_FAIL_IF(sortedAdded != sortedList);

  const std::string text = exportText(lists, delimiter);
  std::string joined;
  for (std::size_t i = 0; i < count; ++i) joined.append(i == 0 ? "" : delimiter).append(list[i]);
  FUZZ_FAIL_IF(text != joined);
  // A delimiter byte that no entry holds cannot start a delimiter inside an
  // entry (nor one reaching into the next delimiter), so the split is exact.
  const bool separable = std::any_of(delimiter.begin(), delimiter.end(), [&](char c) {
    return std::none_of(list.begin(), list.end(), [c](const std::string& e) { return e.find(c) != e.npos; });
  });
  FUZZ_FAIL_IF(count > 0 && separable && splitAt(text, delimiter) != list);

  // The file write syncs to disk, which would slow the run to a crawl: it
  // is checked on the first input of a run (so a reproducer checks it) and
  // on every 64th after.
  static unsigned runs = 0;
  if (runs++ % 64 != 0) return;
  const std::string path = exportFolder() + "/list.csv";
  FUZZ_FAIL_IF(exportList1(lists, delimiter, path));
  std::ifstream written(path, std::ios::binary);
  const std::string content{std::istreambuf_iterator<char>(written), std::istreambuf_iterator<char>()};
  FUZZ_FAIL_IF(content != text);
}

}  // namespace
}  // namespace mailsift

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace mailsift;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t lineEnd = std::min(input.find('\n'), input.size());
  const std::string_view answer = input.substr(0, lineEnd);
  const std::optional<std::string> delimiter = exportDelimiter(answer);
  checkDelimiter(answer, delimiter);

  std::vector<std::string> entries;
  if (lineEnd < input.size()) entries = splitAt(input.substr(lineEnd + 1), "\n");
  ResultLists lists;
  for (const std::string& entry : entries) lists.add(ListId::List1, entry);
  const std::string used = delimiter.value_or(";\r\n");
  checkExport(lists, entries, used);

  std::vector<std::string> distinct = entries;
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  FUZZ_FAIL_IF(lists.removeDuplicates(ListId::List1) != entries.size() - distinct.size());
  checkExport(lists, distinct, used);
  return 0;
}
