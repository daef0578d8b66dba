# Shared by the mingw-w64 toolchain files, which set MAILSIFT_MINGW_TRIPLET,
# MAILSIFT_MINGW_PROCESSOR and MAILSIFT_MINGW_WINE before including this.
#
# The posix thread model of the compilers, because only it gives std::thread
# and std::mutex; libgcc, libstdc++ and winpthread are linked statically, so
# that the programs run without any DLL beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${MAILSIFT_MINGW_PROCESSOR})

set(CMAKE_C_COMPILER ${MAILSIFT_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MAILSIFT_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MAILSIFT_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MAILSIFT_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config of the build machine would offer Linux libraries.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${MAILSIFT_MINGW_TRIPLET}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
# Unicode Win32 calls (the W functions) without spelling the suffix, and no
# min/max macros in the way of std::min and std::max.
set(CMAKE_CXX_FLAGS_INIT "-DUNICODE -D_UNICODE -DNOMINMAX -DWIN32_LEAN_AND_MEAN")

# Tests and other built programs run under Wine on the build machine:
# Debian's wine64 loader for 64-bit programs (it is not on PATH), `wine` for
# 32-bit ones (with wine32:i386, on a kernel that runs i386 programs).
find_program(MAILSIFT_WINE NAMES ${MAILSIFT_MINGW_WINE} PATHS /usr/lib/wine)
if(MAILSIFT_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${MAILSIFT_WINE})
endif()
