// The system's handle of an open file or folder, in one type for every
// system: a descriptor on POSIX, a HANDLE on Windows. Only the platform
// layer makes or uses one; above it, it is passed along unopened.
#pragma once

#include <cstdint>

namespace mailsift::platform {

using NativeHandle = std::intptr_t;

// No open file: -1 is both the failed descriptor and INVALID_HANDLE_VALUE.
inline constexpr NativeHandle kNoHandle = -1;

}  // namespace mailsift::platform
