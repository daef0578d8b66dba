// The top-level domain list and its membership test.
#include "scanner/top_level_domains.h"

#include "scanner/detail/tld_lookup.h"

namespace mailsift {

const std::array<std::string_view, 277> kTopLevelDomains = detail::kTldList;

bool isTopLevelDomain(std::string_view domain) noexcept {
  // The fast lookup takes lower-case letters; anything else is no entry.
  char lower[detail::kLongestTld];
  if (domain.empty() || domain.size() > detail::kLongestTld) return false;
  for (std::size_t i = 0; i < domain.size(); ++i) {
    if (domain[i] < 'A' || domain[i] > 'Z') return false;
    lower[i] = static_cast<char>(domain[i] + ('a' - 'A'));
  }
  return detail::isTldLower(std::string_view(lower, domain.size()));
}

}  // namespace mailsift
