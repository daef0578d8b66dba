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

// The container whose first bytes `head` shows (magic bytes, the tar
// header's checksum), or std::nullopt. `head` may be short: it is whatever
// the stream's first read gave, up to a few hundred kilobytes.
std::optional<ContainerKind> recogniseContainer(std::string_view head) noexcept;

// One member as handed over: a file inside an archive, or the single
// decompressed stream of a compressed file (then `name` is empty).
struct ContainerMember {
  std::string name;           // its path inside the archive, as stored
  std::uint64_t size = 0;     // the size the archive announces; 0 when unknown
};

// What readContainer's callback answers: go on with the next member, or end.
enum class MemberReply : unsigned char { Continue, Stop };

// Reads the container in `source`, which starts with the bytes
// recogniseContainer took for `kind`, and calls `onMember` for each regular
// member in archive order with a reader of its decompressed bytes. The
// callback may read all, part or none of it; the reader is valid only during
// the call. Compressed tar files (.tar.gz ...) give the tar's members.
// Returns the failure of a damaged, truncated or unreadable container, named
// `name`; the members before the damage have been handed over. Never
// throws except std::bad_alloc and what the callback throws. Several
// threads may read different containers at once.
[[nodiscard]] std::optional<platform::Failure> readContainer(
    ByteReader& source, ContainerKind kind, const std::string& name,
    const std::function<MemberReply(const ContainerMember&, ByteReader&)>& onMember);

}  // namespace mailsift
