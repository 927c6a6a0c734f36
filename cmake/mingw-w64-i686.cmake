# Cross build for 32-bit Windows with MinGW-w64 (Debian's threads-posix variant, or MSYS2's).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KORVO_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
