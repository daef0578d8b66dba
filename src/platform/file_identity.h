// What makes a file or folder the same one, whatever names or links lead to
// it: the volume it is on and its number there (POSIX: the device and the
// inode; Windows: the volume's serial number and the file index). Outside
// the platform layer the two numbers are only compared, hashed and packed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mailsift::platform {

struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t number = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// For hash tables of identities, also those that take the low bits alone.
struct FileIdentityHash {
  std::size_t operator()(const FileIdentity& identity) const noexcept {
    const std::uint64_t mixed =
        (identity.number ^ (identity.volume << 32 | identity.volume >> 32)) * 0x9E3779B97F4A7C15ULL;
    return static_cast<std::size_t>(mixed ^ (mixed >> 29));
  }
};

}  // namespace mailsift::platform
