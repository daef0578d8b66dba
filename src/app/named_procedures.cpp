// The classic procedure names over the core's mechanisms.
#include "app/named_procedures.h"

#include "platform/paths.h"
#include "scanner/char_classes.h"
#include "sources/folder_walk.h"
#include "sources/temp_dir.h"

namespace mailsift {
namespace {

bool isOneCharacterOf(std::string_view character, bool (*isMember)(unsigned char) noexcept) noexcept {
  return character.size() == 1 && isMember(static_cast<unsigned char>(character[0]));
}

}  // namespace

SinkReply ExtractAddresses(std::string_view scanText, EntrySink& sink) { return extractAddresses(scanText, sink); }

bool MailzeichenLinks(std::string_view character) noexcept { return isOneCharacterOf(character, isLocalPartCharacter); }
bool MailzeichenRechts(std::string_view character) noexcept { return isOneCharacterOf(character, isDomainCharacter); }
bool MailzeichenTLD(std::string_view character) noexcept { return isOneCharacterOf(character, isTldCharacter); }

std::size_t DoppelteEntfernen(ResultLists& lists, ListId list) { return lists.removeDuplicates(list); }

ScanText FileToScanText(const std::string& path) { return std::move(readScanText(path).text); }

void ListFolderTree(const std::string& folderPath, std::string_view pattern, FolderEntries& entries) {
  if (entries.empty()) entries.emplace_back();
  walkFolderTree(
      folderPath,
      [&](const WalkEntry& entry) {
        entries.back() = (entry.kind == platform::EntryKind::Folder ? ">>" : "    ") + entry.path;
        entries.emplace_back();
      },
      nullptr, pattern);
}

std::string AddBackslash(std::string path) { return platform::withTrailingSeparator(std::move(path)); }

URLDownloadResult URLDownload(const std::string& url, const std::string& destination, DownloadMode mode,
                              const HttpOptions& options) {
  return downloadUrl(url, destination, mode, options);
}

std::string JoinPath(std::string_view folder, std::string_view name) { return joinPath(folder, name); }

bool FileExists(const std::string& path) { return pathExists(path); }

const std::string& TempDir() { return temporaryFolder(); }

}  // namespace mailsift
