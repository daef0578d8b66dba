// What makes a file or folder the same one, whatever names or links lead to
// it: the device it is on and its number there.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mailsift::platform {

struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// For hash tables of identities, also those that take the low bits alone.
struct FileIdentityHash {
  std::size_t operator()(const FileIdentity& identity) const noexcept {
    const std::uint64_t mixed =
        (identity.inode ^ (identity.device << 32 | identity.device >> 32)) * 0x9E3779B97F4A7C15ULL;
    return static_cast<std::size_t>(mixed ^ (mixed >> 29));
  }
};

}  // namespace mailsift::platform
