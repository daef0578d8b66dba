// A build without libarchive but with zlib (Windows: Debian has only zlib
// for mingw-w64): gzip is decompressed, every other container is refused.
// A tar inside the gzip is read as its bytes, headers and all, so the text
// of its members is still scanned, only not member by member.
#include "decode/container_reader.h"
#include "decode/detail/gzip_reader.h"

namespace mailsift {

std::optional<platform::Failure> readContainer(
    ByteReader& source, ContainerKind kind, const std::string& name,
    const std::function<MemberReply(const ContainerMember&, ByteReader&)>& onMember) {
  if (kind != ContainerKind::Gzip) {
    return platform::Failure{platform::FailureKind::ReadFailed, 0, name,
                             "this build cannot decode " + std::string(containerKindName(kind))};
  }
  detail::GzipReader stream(source, name);
  (void)onMember(ContainerMember{}, stream);
  return stream.failure();
}

}  // namespace mailsift
