// The procedures of mailsift's classic design under their classic names,
// gathered here as thin entry points over the mechanisms that do the work
// (and carry descriptive names) in the layers below. The application and the
// front ends call these names where those procedures run; the layers below
// never do.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "results/result_lists.h"
#include "scanner/extract_addresses.h"
#include "sources/scan_text.h"
#include "sources/url_download.h"

namespace mailsift {

// The address scanner over one text: see extractAddresses.
SinkReply ExtractAddresses(std::string_view scanText, EntrySink& sink);

// Whether `character`, exactly one Windows-1252 character, is a member of
// the class left of the "@", right of it, or of the top-level domain (see
// isLocalPartCharacter, isDomainCharacter and isTldCharacter). Anything but
// exactly one character (the empty text, two characters) is not.
bool MailzeichenLinks(std::string_view character) noexcept;
bool MailzeichenRechts(std::string_view character) noexcept;
bool MailzeichenTLD(std::string_view character) noexcept;

// Removes the duplicates of `list`: see ResultLists::removeDuplicates.
std::size_t DoppelteEntfernen(ResultLists& lists, ListId list);

// The whole file at `path`, or the empty text when it cannot be read: the
// quiet form of readScanText.
ScanText FileToScanText(const std::string& path);

// The flat list of a walk: ">>" and the path for a folder, four blanks and
// the path for a file, and always one empty entry at the end, the slot the
// next entry would fill.
using FolderEntries = std::vector<std::string>;

// Appends the walk of `folderPath` (see walkFolderTree) to `entries`, whose
// last entry must be the empty slot (as in a list that holds just that slot;
// an empty list gets that slot first). `pattern` is that of walkFolderTree.
// Never fails: a folder that cannot be listed adds nothing.
void ListFolderTree(const std::string& folderPath, std::string_view pattern, FolderEntries& entries);

// `path` with the system's separator appended when it ends in none.
std::string AddBackslash(std::string path);

// Downloads `url` into a file chosen from `destination` and `mode`: see downloadUrl.
[[nodiscard]] URLDownloadResult URLDownload(const std::string& url, const std::string& destination, DownloadMode mode,
                                            const HttpOptions& options = {});

// See joinPath and pathExists.
std::string JoinPath(std::string_view folder, std::string_view name);
bool FileExists(const std::string& path);

// The temporary folder, ending in "/": see temporaryFolder.
const std::string& TempDir();

}  // namespace mailsift
