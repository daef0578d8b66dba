// Telling containers by their first bytes. Kept apart from the reader so
// that recognising never needs the archive library.
#include "decode/container_reader.h"

#include <cstdint>

namespace mailsift {
namespace {

constexpr std::size_t kTarBlock = 512;

bool startsWith(std::string_view head, std::string_view magic) noexcept { return head.starts_with(magic); }

bool isGzip(std::string_view head) noexcept {
  // ID1 ID2, method 8 (deflate), then flags whose top three bits are reserved.
  return head.size() >= 10 && startsWith(head, "\x1F\x8B\x08") && (static_cast<unsigned char>(head[3]) & 0xE0) == 0;
}

bool isBzip2(std::string_view head) noexcept {
  // "BZh", the block size 1-9, then a block's magic (pi) or the end of an empty stream (sqrt pi).
  if (head.size() < 10 || !startsWith(head, "BZh") || head[3] < '1' || head[3] > '9') return false;
  const std::string_view mark = head.substr(4, 6);
  return mark == "\x31\x41\x59\x26\x53\x59" || mark == "\x17\x72\x45\x38\x50\x90";
}

bool isZip(std::string_view head) noexcept {
  using namespace std::string_view_literals;
  // A local file header; or the spanning mark written before one; or the
  // end record of an empty archive, which is all there is of it.
  return startsWith(head, "PK\x03\x04"sv) || startsWith(head, "PK\x07\x08PK\x03\x04"sv) ||
         startsWith(head, "PK00PK\x03\x04"sv) || (head.size() >= 22 && startsWith(head, "PK\x05\x06"sv));
}

// The value of the octal checksum field: blanks, digits, then a NUL or a
// blank; std::nullopt otherwise.
std::optional<std::uint32_t> octalField(std::string_view field) noexcept {
  std::size_t at = 0;
  while (at < field.size() && field[at] == ' ') ++at;
  const std::size_t firstDigit = at;
  std::uint32_t value = 0;
  for (; at < field.size() && field[at] >= '0' && field[at] <= '7'; ++at) {
    value = value * 8 + static_cast<std::uint32_t>(field[at] - '0');
  }
  if (at == firstDigit) return std::nullopt;
  const bool terminated = at == field.size() || field[at] == ' ' || field[at] == '\0';
  return terminated ? std::optional<std::uint32_t>(value) : std::nullopt;
}

bool isTar(std::string_view head) noexcept {
  // Every tar variant (v7, ustar, pax, GNU) sums its first header with the
  // checksum field read as blanks; old writers summed signed bytes.
  if (head.size() < kTarBlock || head[0] == '\0') return false;
  constexpr std::size_t kChecksumAt = 148;
  constexpr std::size_t kChecksumSize = 8;
  const std::optional<std::uint32_t> stored = octalField(head.substr(kChecksumAt, kChecksumSize));
  if (!stored) return false;
  std::uint32_t unsignedSum = ' ' * kChecksumSize;
  std::int32_t signedSum = ' ' * static_cast<std::int32_t>(kChecksumSize);
  for (std::size_t i = 0; i < kTarBlock; ++i) {
    if (i >= kChecksumAt && i < kChecksumAt + kChecksumSize) continue;
    unsignedSum += static_cast<unsigned char>(head[i]);
    signedSum += static_cast<signed char>(head[i]);
  }
  return *stored == unsignedSum || static_cast<std::int32_t>(*stored) == signedSum;
}

}  // namespace

std::optional<ContainerKind> recogniseContainer(std::string_view head) noexcept {
  using namespace std::string_view_literals;
  if (isGzip(head)) return ContainerKind::Gzip;
  if (isBzip2(head)) return ContainerKind::Bzip2;
  if (startsWith(head,
                 "\xFD"
                 "7zXZ\x00"sv))
    return ContainerKind::Xz;
  if (startsWith(head, "\x28\xB5\x2F\xFD"sv)) return ContainerKind::Zstd;
  if (isZip(head)) return ContainerKind::Zip;
  if (isTar(head)) return ContainerKind::Tar;
  return std::nullopt;
}

std::string_view containerKindName(ContainerKind kind) noexcept {
  switch (kind) {
    case ContainerKind::Gzip:
      return "gzip";
    case ContainerKind::Bzip2:
      return "bzip2";
    case ContainerKind::Xz:
      return "xz";
    case ContainerKind::Zstd:
      return "zstd";
    case ContainerKind::Zip:
      return "zip";
    case ContainerKind::Tar:
      return "tar";
  }
  return "container";
}

}  // namespace mailsift
