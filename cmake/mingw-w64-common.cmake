# Shared part of the MinGW-w64 toolchain files. The includer sets KORVO_MINGW_TRIPLE.
# Debian names the threads-posix compilers <triple>-gcc-posix; MSYS2 and most other
# distributions have plain <triple>-gcc, or plain gcc inside an MSYS2 MinGW shell.
if(NOT CMAKE_HOST_WIN32)
  # Cross-compiling from Linux. On a Windows host the target is the host: not naming the system
  # keeps CMAKE_CROSSCOMPILING off, so the tests run directly.
  set(CMAKE_SYSTEM_NAME Windows)
endif()

function(korvo_pick_tool var)
  find_program(${var} NAMES ${ARGN} NO_CACHE)
  if(NOT ${var})
    list(GET ARGN 0 first)
    message(FATAL_ERROR "No ${first} (or alternatives: ${ARGN}) found; run ./run bootstrap")
  endif()
  set(${var} ${${var}} PARENT_SCOPE)
endfunction()

set(_t ${KORVO_MINGW_TRIPLE})
if(CMAKE_HOST_WIN32)
  # MSYS2 MinGW shells put gcc/g++/windres of the right architecture first on PATH.
  korvo_pick_tool(_korvo_cc  ${_t}-gcc gcc)
  korvo_pick_tool(_korvo_cxx ${_t}-g++ g++)
  korvo_pick_tool(_korvo_rc  ${_t}-windres windres)
else()
  korvo_pick_tool(_korvo_cc  ${_t}-gcc-posix ${_t}-gcc)
  korvo_pick_tool(_korvo_cxx ${_t}-g++-posix ${_t}-g++)
  korvo_pick_tool(_korvo_rc  ${_t}-windres)
endif()
set(CMAKE_C_COMPILER   ${_korvo_cc})
set(CMAKE_CXX_COMPILER ${_korvo_cxx})
set(CMAKE_RC_COMPILER  ${_korvo_rc})

# objdump and widl for the PE checks and the type library.
find_program(KORVO_OBJDUMP NAMES ${_t}-objdump objdump)
find_program(KORVO_WIDL NAMES ${_t}-widl widl)

if(NOT CMAKE_HOST_WIN32)
  # Headers and libraries come from the cross sysroot only, programs from the build machine.
  set(CMAKE_FIND_ROOT_PATH /usr/${_t})
  set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
  set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
  set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
  set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
endif()
