// Compressed streams and archives: gzip, bzip2, xz, zstd, zip and the
// formats built on it (jar, wheel, docx, xlsx, odt, epub ...), tar. Each is
// read as it streams, one member after the other.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "decode/byte_reader.h"
#include "decode/markup_text_reader.h"
#include "platform/failure.h"

namespace mailsift {

enum class ContainerKind : unsigned char { Gzip, Bzip2, Xz, Zstd, Zip, Tar };

// The container whose first bytes `head` shows, or std::nullopt: the magic
// bytes of gzip (with a valid flag byte), bzip2 (with the block or end
// mark), xz, zstd and zip (a local header, or an empty archive's end
// record); for tar the checksum of the first 512-byte header (so old
// archives without "ustar" count too). `head` may be short: it is whatever
// the stream's first read gave, up to a few hundred kilobytes; a tar needs
// 512 bytes of it. Thread-safe.
std::optional<ContainerKind> recogniseContainer(std::string_view head) noexcept;

// One member as handed over: a file inside an archive, or the single
// decompressed stream of a compressed file (then `name` is empty).
struct ContainerMember {
  std::string name;        // its path inside the archive, as stored
  std::uint64_t size = 0;  // the size the archive announces; 0 when unknown
};

// What readContainer's callback answers: go on with the next member, or end.
enum class MemberReply : unsigned char { Continue, Stop };

// Reads the container in `source`, which starts with the bytes
// recogniseContainer took for `kind`, and calls `onMember` for each regular
// member in archive order with a reader of its decompressed bytes. Folders,
// links and devices are passed over. The callback may read all, some or none
// of the member; the reader is valid only during the call.
//   - A compressed file gives one member with an empty name, even when it
//     holds nothing; a compressed tar file (.tar.gz ...) gives the tar's
//     members instead.
//   - Zip is read as it streams, from the local headers, without the
//     central directory at the end: members come in stored order; sizes
//     that only a data descriptor after the data gives are found as the
//     data is read; a member the central directory no longer lists is read
//     too; and a symbolic link, which only the central directory marks as
//     one, comes as a small member holding the link's target.
//   - Stop ends at once: the rest is neither read nor decompressed, so a
//     caller that stops a member it finds too large stays in bounded time
//     and memory. Continue after a partly read member decompresses the rest
//     of it to reach the next (a compressed file has no next and ends).
//   - Encrypted members are passed over; the result then names the first
//     and counts them (FailureKind::Encrypted), after all other members.
//     An encrypted zip member whose size comes only after its data cannot
//     be skipped without the password: the members after it are lost, and
//     the result says so.
//   - A member's reader may itself be the source of another readContainer
//     (a zip inside a tar), read within the callback.
// Returns std::nullopt when every member could be read. Otherwise: a failed
// read of `source` gives that failure as it is; damaged, truncated or
// undecodable data (a wrong gzip checksum too) gives FailureKind::Damaged
// with `name` as its target and the decoder's message, after the member's
// name when a member was being read. A member reader that fails gives the
// same failure to the callback, and readContainer returns it even if the
// callback ignored it. Members before the damage have been handed over.
// Never throws except std::bad_alloc and what `source` or the callback
// throws. Several threads may read different containers at once.
[[nodiscard]] std::optional<platform::Failure> readContainer(
    ByteReader& source, ContainerKind kind, const std::string& name,
    const std::function<MemberReply(const ContainerMember&, ByteReader&)>& onMember);

// False when this build has no decoder for `kind` (it was built without its
// library): readContainer then fails for it, and its content is best read
// as stored. Thread-safe.
bool canReadContainer(ContainerKind kind) noexcept;

// The name of `kind` for people and logs: "gzip", "bzip2", "xz", "zstd",
// "zip", "tar".
std::string_view containerKindName(ContainerKind kind) noexcept;

}  // namespace mailsift
