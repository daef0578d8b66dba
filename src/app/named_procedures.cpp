// The classic procedure names over the core's mechanisms.
#include "app/named_procedures.h"

#include "scanner/char_classes.h"

namespace mailsift {
namespace {

bool isOneCharacterOf(std::string_view character, bool (*isMember)(unsigned char) noexcept) noexcept {
  return character.size() == 1 && isMember(static_cast<unsigned char>(character[0]));
}

}  // namespace

SinkReply ExtractAddresses(std::string_view scanText, EntrySink& sink) { return extractAddresses(scanText, sink); }

bool MailzeichenLinks(std::string_view character) noexcept {
  return isOneCharacterOf(character, isLocalPartCharacter);
}
bool MailzeichenRechts(std::string_view character) noexcept { return isOneCharacterOf(character, isDomainCharacter); }
bool MailzeichenTLD(std::string_view character) noexcept { return isOneCharacterOf(character, isTldCharacter); }

std::size_t DoppelteEntfernen(ResultLists& lists, ListId list) { return lists.removeDuplicates(list); }

}  // namespace mailsift
