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

// Markup read as text: tags dropped (those that end a paragraph, a cell or a
// line give a line end, others nothing, so a word split into several runs
// stays whole), character references and the predefined entities undone,
// in UTF-8; comments, processing instructions and CDATA handled. For
// office XML, HTML and XHTML. Reads `source` as it goes.
class MarkupTextReader final : public ByteReader {
 public:
  explicit MarkupTextReader(ByteReader& source);
  ~MarkupTextReader() override;
  MarkupTextReader(const MarkupTextReader&) = delete;
  MarkupTextReader& operator=(const MarkupTextReader&) = delete;
  [[nodiscard]] ReadOutcome read(char* buffer, std::size_t capacity) override;

 private:
  struct State;
  ByteReader& m_source;
  State* m_state;
};

// True when a member's name or first bytes show markup worth reading as
// text (office XML parts, .xml, .html, .xhtml, .htm, .svg, .opf, .ncx).
bool isMarkupMember(std::string_view name, std::string_view head) noexcept;

}  // namespace mailsift
