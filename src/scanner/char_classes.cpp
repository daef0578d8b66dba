// The public character questions, answered from the compile-time tables.
#include "scanner/char_classes.h"

#include "scanner/detail/char_table.h"

namespace mailsift {

bool isLocalPartCharacter(unsigned char character) noexcept {
  return (detail::kClassOf[character] & detail::kLeft) != 0;
}
bool isLocalPartCharacter(unsigned char character, ScanRules rules) noexcept {
  return (detail::kClassOf[character] & (rules == ScanRules::Extended ? detail::kLeftExtended : detail::kLeft)) != 0;
}
bool isDomainCharacter(unsigned char character) noexcept { return (detail::kClassOf[character] & detail::kRight) != 0; }
bool isTldCharacter(unsigned char character) noexcept { return (detail::kClassOf[character] & detail::kTld) != 0; }

}  // namespace mailsift
