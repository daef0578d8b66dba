// The table from ISO 3166-1 territories to ITU-T E.164 country calling codes.
#pragma once

#include <span>
#include <string_view>

namespace mailsift::detail {

// One row of the table: a territory code in upper case and its calling code
// in decimal digits, without "+" or leading zeros.
struct TerritoryCallingCode {
  std::string_view territory;
  std::string_view callingCode;
};

// Every row, sorted by territory, each territory once. The span points at
// static storage and stays valid for the life of the process.
[[nodiscard]] std::span<const TerritoryCallingCode> callingCodeTable() noexcept;

// The calling code of `territory` (two upper-case ASCII letters, such as
// "CH"), or "" when the table does not hold it. The result points at static
// storage. Thread-safe.
[[nodiscard]] std::string_view callingCodeOfTerritory(std::string_view territory) noexcept;

}  // namespace mailsift::detail
