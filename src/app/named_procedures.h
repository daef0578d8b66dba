// The procedures of mailsift's classic design under their classic names,
// gathered here as thin entry points over the mechanisms that do the work
// (and carry descriptive names) in the layers below. The application and the
// front ends call these names where those procedures run; the layers below
// never do.
#pragma once

#include <string_view>

#include "results/result_lists.h"
#include "scanner/extract_addresses.h"

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

}  // namespace mailsift
