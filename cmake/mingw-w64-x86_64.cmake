# Cross build for 64-bit Windows with MinGW-w64 (Debian's threads-posix variant, or MSYS2's).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KORVO_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
