// The CSV export: turning the typed delimiter answer into the delimiter,
// joining List1 with it, and writing the result safely to a file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/failure.h"
#include "results/result_lists.h"

namespace mailsift {

// The answer that stands pre-filled in the delimiter prompt.
inline constexpr std::string_view kDefaultDelimiterAnswer = ";br";

// True when `text` is empty or holds only spaces (U+0020); other white
// space counts as content. A blank delimiter answer or a blank chosen path
// ends the export without a word.
bool isBlank(std::string_view text) noexcept;

// The delimiter for the typed `answer` (UTF-8), or std::nullopt when the
// answer is blank (no export). Otherwise the answer as typed, spaces kept,
// goes through four steps: every "br" (letter case significant, left to
// right, no overlap) becomes CR LF; the text is lower-cased; every "tb"
// becomes a tab; the text is lower-cased again. Lower-casing changes the
// letters A to Z and, in their UTF-8 forms, "À" to "Þ" except "×", and "Š",
// "Œ", "Ž", "Ÿ"; every other byte stays. So ";br" gives ";" CR LF, "BR"
// gives "br" and "TB" a tab. Thread-safe.
std::optional<std::string> exportDelimiter(std::string_view answer);

// The export text: the entries of List1 in list order with `delimiter`
// between each two neighbours and none after the last, no header and no
// quoting. An empty List1 gives the empty text. Same thread rules as
// ResultLists.
std::string exportText(const ResultLists& lists, std::string_view delimiter);

// Writes the export text of List1 with `delimiter` to the file at `path`,
// used as given (no extension added, not trimmed), creating it or
// replacing it without asking. The file then holds exactly the export text,
// with no line end added. The new content takes the target's place only
// when all of it was written: on failure the previous file is unchanged, no
// temporary file remains, and the failure (for `path`, with the system's
// error number) is returned; std::nullopt on success. The lists are only
// read. Callers end the export before this when `path` is blank.
[[nodiscard]] std::optional<platform::Failure> exportList1(const ResultLists& lists, std::string_view delimiter,
                                                           const std::string& path);

// The text of the error box for a failed export: it names the path and
// gives the system's text, as in `Cannot write "/a/b.csv": Permission denied`.
std::string exportErrorDescription(const platform::Failure& failure);

}  // namespace mailsift
