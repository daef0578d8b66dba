// Fuzzes the container reader, the markup reader and the character
// references: input that is a container is read member by member, a member
// that is a container in turn one level further, and every markup member is
// drained through MarkupTextReader; input that is no container is read as
// markup. Members are cut at 1 MiB so a compression bomb costs little.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "decode/container_reader.h"

namespace {

constexpr std::uint64_t kMemberLimit = std::uint64_t{1} << 20;
constexpr int kDepth = 2;

void drainMarkup(std::string_view bytes) {
  mailsift::MemoryReader source(bytes);
  mailsift::MarkupTextReader markup(source);
  char buffer[997];  // an odd size, so reads end in the middle of things
  while (markup.read(buffer, sizeof buffer).bytes > 0) {
  }
}

void readNested(std::string_view bytes, mailsift::ContainerKind kind, int depth) {
  mailsift::MemoryReader source(bytes);
  (void)mailsift::readContainer(source, kind, "fuzz",
                                [depth](const mailsift::ContainerMember& member, mailsift::ByteReader& reader) {
                                  std::string content;
                                  bool truncated = false;
                                  (void)mailsift::readAll(reader, kMemberLimit, content, truncated);
                                  const auto inner = mailsift::recogniseContainer(content);
                                  if (inner && depth < kDepth) {
                                    readNested(content, *inner, depth + 1);
                                  } else if (mailsift::isMarkupMember(member.name, content)) {
                                    drainMarkup(content);
                                  }
                                  return truncated ? mailsift::MemberReply::Stop : mailsift::MemberReply::Continue;
                                });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (const auto kind = mailsift::recogniseContainer(bytes)) {
    readNested(bytes, *kind, 1);
  } else {
    drainMarkup(bytes);
  }
  return 0;
}
