// A build without libarchive: no container is decoded.
#include "decode/container_reader.h"

namespace mailsift {

std::optional<platform::Failure> readContainer(
    ByteReader& /*source*/, ContainerKind kind, const std::string& name,
    const std::function<MemberReply(const ContainerMember&, ByteReader&)>& /*onMember*/) {
  return platform::Failure{platform::FailureKind::ReadFailed, 0, name,
                           "this build cannot decode " + std::string(containerKindName(kind))};
}

}  // namespace mailsift
