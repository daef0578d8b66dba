// Naming the rule sets.
#include "scanner/scan_rules.h"

namespace mailsift {
namespace {

bool equalsNoCase(std::string_view text, std::string_view lower) noexcept {
  if (text.size() != lower.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] + ('a' - 'A')) : text[i];
    if (c != lower[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<ScanRules> scanRulesNamed(std::string_view name) noexcept {
  if (equalsNoCase(name, "specified")) return ScanRules::Specified;
  if (equalsNoCase(name, "extended")) return ScanRules::Extended;
  return std::nullopt;
}

}  // namespace mailsift
