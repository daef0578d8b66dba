// The three character classes that decide where a candidate address begins
// and ends.
#pragma once

#include "scanner/scan_rules.h"

namespace mailsift {

// Each answers whether the Windows-1252 byte `character`, lower-cased, is a
// member of its class:
//   local part (left of the "@"):  a-z 0-9 - _ .
//   domain (right of the "@"):     a-z 0-9 - ü ö ä .
//   top-level domain:              a-z
// So "Ü" (0xDC) is a domain character and "é" (0xE9) is in no class.
bool isLocalPartCharacter(unsigned char character) noexcept;
// The local part under `rules`: extended rules also take "+".
bool isLocalPartCharacter(unsigned char character, ScanRules rules) noexcept;
bool isDomainCharacter(unsigned char character) noexcept;
bool isTldCharacter(unsigned char character) noexcept;

}  // namespace mailsift
