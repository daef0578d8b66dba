# Cross-building for 32-bit Windows with Debian's mingw-w64
# (g++-mingw-w64-i686-posix); programs run under Wine (wine32:i386).
set(MAILSIFT_MINGW_TRIPLET i686-w64-mingw32)
set(MAILSIFT_MINGW_PROCESSOR X86)
set(MAILSIFT_MINGW_WINE wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
