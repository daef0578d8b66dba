# Cross-building for 64-bit Windows with Debian's mingw-w64
# (g++-mingw-w64-x86-64-posix); programs run under Wine (wine64).
set(MAILSIFT_MINGW_TRIPLET x86_64-w64-mingw32)
set(MAILSIFT_MINGW_PROCESSOR AMD64)
set(MAILSIFT_MINGW_WINE wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
