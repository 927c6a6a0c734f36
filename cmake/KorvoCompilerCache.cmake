# Compiler caching: where ccache is installed, every preset compiles through it. Its cache is
# ccache's own folder outside the checkout, so a fresh clone on the same machine reuses what
# an earlier clone compiled: paths inside the source tree are hashed relative to it, and the
# build folder is left out of the hash. (An object taken from the cache keeps the debug paths
# of the clone that compiled it.) KORVO_CCACHE=OFF turns it off.
option(KORVO_CCACHE "Compile through ccache when it is installed" ON)
if(KORVO_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  find_program(KORVO_CCACHE_PROGRAM ccache)
  if(KORVO_CCACHE_PROGRAM)
    set(korvo_launcher ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${CMAKE_SOURCE_DIR} CCACHE_NOHASHDIR=1
                       ${KORVO_CCACHE_PROGRAM})
    set(CMAKE_C_COMPILER_LAUNCHER ${korvo_launcher})
    set(CMAKE_CXX_COMPILER_LAUNCHER ${korvo_launcher})
  endif()
endif()
