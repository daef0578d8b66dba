// The top-level domain lists and their membership test.
#include "scanner/top_level_domains.h"

#include "scanner/detail/extended_tld_lookup.h"
#include "scanner/detail/tld_lookup.h"

namespace mailsift {

const std::array<std::string_view, 277> kTopLevelDomains = detail::kTldList;

std::span<const std::string_view> currentTopLevelDomains() noexcept { return detail::extendedTldList(); }

std::string_view currentTopLevelDomainsSource() noexcept { return detail::extendedTldSource(); }

bool isTopLevelDomain(std::string_view domain, ScanRules rules) noexcept {
  // The fast lookups take lower-case letters; anything else is no entry.
  char lower[detail::kLongestExtendedTld];
  if (domain.empty() || domain.size() > detail::kLongestExtendedTld) return false;
  for (std::size_t i = 0; i < domain.size(); ++i) {
    if (domain[i] < 'A' || domain[i] > 'Z') return false;
    lower[i] = static_cast<char>(domain[i] + ('a' - 'A'));
  }
  const std::string_view letters(lower, domain.size());
  if (detail::isTldLower(letters)) return true;
  return rules == ScanRules::Extended && detail::isExtendedTldLower(letters);
}

}  // namespace mailsift
