// Containers made in the tests with libarchive's writer, so that every kind
// is checked against an independent encoder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "decode/container_reader.h"

namespace mailsift::test {

struct StoredMember {
  std::string name;
  std::string content;
};

// How a container is written: libarchive's names of the filter ("" for
// none) and the format ("raw" for a bare compressed stream, which holds one
// member), writer options, and the kind the result must be recognised as.
struct Layout {
  std::string_view label;
  const char* filter = "";
  const char* format = "raw";
  const char* options = nullptr;
  ContainerKind kind = ContainerKind::Tar;

  bool isRaw() const noexcept { return std::string_view(format) == "raw"; }
};

// Every layout the reader must handle.
const std::vector<Layout>& allLayouts();

// `members` written in `layout`; archive formats also get a folder, and tar
// formats a symbolic link, which a reader must pass over. `passphrase` encrypts zip
// members.
std::string writeContainer(const Layout& layout, const std::vector<StoredMember>& members,
                           const char* passphrase = nullptr);

// `size` bytes that do not compress, the same for the same `seed`.
std::string randomBytes(std::size_t size, unsigned seed);

}  // namespace mailsift::test
