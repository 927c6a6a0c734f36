# Test helpers shared by every test area.
#
#   korvo_add_gtest(<target> SOURCES <files...> [LIBS <libs...>] [NO_MAIN] [PREFIX <text>] [LABELS <labels...>])
#       A GoogleTest program; every TEST becomes one ctest entry (named <text><Suite>.<Test>
#       with PREFIX). NO_MAIN links gtest without gtest_main, for programs that bring their own
#       main(). Windows builds also get korvo_add_pe_check(<target>) for the program.
#   korvo_add_pe_check(<target> [EXPORTS <names...>])
#       Windows builds only: checks that <target>'s file is PE32 (i686) or PE32+ (x86_64) and
#       imports system DLLs only; with EXPORTS, that it exports exactly these undecorated
#       names, with ordinals 1..n in the given order.
#
# KORVO_TESTS_RUNNABLE is ON when the built programs can run here: natively, on a Windows
# host, or cross-compiled with an emulator (the 64-bit Wine; for the i686 build in its WoW64
# mode). KORVO_WINE_ENVIRONMENT holds the emulator's NAME=VALUE settings, for the tests that
# start Wine processes themselves (the session, the script runners).

include(GoogleTest)

if(CMAKE_HOST_WIN32)
  # The presets name Wine as emulator for Linux hosts; on Windows the programs run directly.
  set(CMAKE_CROSSCOMPILING_EMULATOR "")
endif()

# 32-bit programs run under the 64-bit Wine once Wine's own i386 DLLs are in WINEDLLPATH, for
# every Wine process of the prefix from its creation on. ./run bootstrap fetches them
# (tools/wine-i386-dlls); an emulator line with an empty WINEDLLPATH= gets their folder.
if(WIN32 AND NOT CMAKE_HOST_WIN32 AND CMAKE_CROSSCOMPILING_EMULATOR)
  set(_emulator "")
  foreach(arg IN LISTS CMAKE_CROSSCOMPILING_EMULATOR)
    if(arg STREQUAL "WINEDLLPATH=")
      execute_process(COMMAND ${PROJECT_SOURCE_DIR}/tools/wine-i386-dlls dir
                      OUTPUT_VARIABLE _dll_dir OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE _rc)
      if(NOT _rc EQUAL 0)
        message(FATAL_ERROR "tools/wine-i386-dlls dir failed: install Wine (run ./run bootstrap)")
      endif()
      set(arg "WINEDLLPATH=${_dll_dir}")
    endif()
    if(arg MATCHES "^WINEDLLPATH=(.+)$")
      if(NOT EXISTS "${CMAKE_MATCH_1}/i386-windows/ntdll.dll")
        message(WARNING "No Wine i386 DLLs in ${CMAKE_MATCH_1}: the 32-bit tests cannot run until "
                        "./run bootstrap (tools/wine-i386-dlls fetch) has fetched them")
      endif()
    endif()
    list(APPEND _emulator "${arg}")
  endforeach()
  set(CMAKE_CROSSCOMPILING_EMULATOR "${_emulator}")
  set(KORVO_WINE_ENVIRONMENT "")
  foreach(arg IN LISTS CMAKE_CROSSCOMPILING_EMULATOR)
    if(arg MATCHES "^[A-Za-z_][A-Za-z0-9_]*=")
      list(APPEND KORVO_WINE_ENVIRONMENT "${arg}")
    endif()
  endforeach()
endif()

if(NOT CMAKE_CROSSCOMPILING OR CMAKE_CROSSCOMPILING_EMULATOR OR (WIN32 AND CMAKE_HOST_WIN32))
  set(KORVO_TESTS_RUNNABLE ON)
else()
  set(KORVO_TESTS_RUNNABLE OFF)
endif()

# The Wine session fixture: when ctest runs the Windows tests by hand (without ./run test),
# the first test starts one persistent wineserver and desktop and the last one stops them.
# When a session is already running (./run test starts one), both do nothing.
set(KORVO_WINE_FIXTURE "")
if(WIN32 AND NOT CMAKE_HOST_WIN32 AND CMAKE_CROSSCOMPILING_EMULATOR)
  set(KORVO_WINEPREFIX "" CACHE PATH "Wine prefix the emulator uses (taken from the emulator's WINEPREFIX=)")
  if(NOT KORVO_WINEPREFIX)
    foreach(arg IN LISTS CMAKE_CROSSCOMPILING_EMULATOR)
      if(arg MATCHES "^WINEPREFIX=(.*)$")
        set(KORVO_WINEPREFIX "${CMAKE_MATCH_1}")
      endif()
    endforeach()
  endif()
  if(KORVO_WINEPREFIX)
    set(KORVO_WINE_FIXTURE wine_session)
    set(_session ${PROJECT_SOURCE_DIR}/tools/wine-session)
    add_test(NAME wine_session.start COMMAND ${_session} fixture-start ${KORVO_WINEPREFIX})
    add_test(NAME wine_session.stop COMMAND ${_session} fixture-stop ${KORVO_WINEPREFIX})
    set_tests_properties(wine_session.start PROPERTIES FIXTURES_SETUP wine_session LABELS wine
                         ENVIRONMENT "${KORVO_WINE_ENVIRONMENT}")
    set_tests_properties(wine_session.stop PROPERTIES FIXTURES_CLEANUP wine_session LABELS wine
                         ENVIRONMENT "${KORVO_WINE_ENVIRONMENT}")
  endif()
endif()

function(korvo_add_gtest target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "NO_MAIN" "PREFIX" "SOURCES;LIBS;LABELS")
  if(NOT ARG_SOURCES)
    message(FATAL_ERROR "korvo_add_gtest(${target}): no SOURCES")
  endif()
  add_executable(${target} ${ARG_SOURCES})
  if(ARG_NO_MAIN)
    target_link_libraries(${target} PRIVATE GTest::gtest)
  else()
    target_link_libraries(${target} PRIVATE GTest::gtest_main)
  endif()
  target_link_libraries(${target} PRIVATE GTest::gmock ${ARG_LIBS})
  # Every Windows test program is also checked as a binary: format and system-only imports.
  korvo_add_pe_check(${target})
  if(NOT KORVO_TESTS_RUNNABLE)
    return()
  endif()
  set(props LABELS "gtest;${ARG_LABELS}")
  if(KORVO_WINE_FIXTURE)
    list(APPEND props FIXTURES_REQUIRED ${KORVO_WINE_FIXTURE})
  endif()
  gtest_discover_tests(${target}
    TEST_PREFIX "${ARG_PREFIX}"
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ${props})
endfunction()

function(korvo_add_pe_check target)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "EXPORTS")
  if(NOT WIN32 OR TEST pe_check.${target})
    return()
  endif()
  if(NOT KORVO_OBJDUMP)
    find_program(KORVO_OBJDUMP NAMES objdump REQUIRED)
  endif()
  find_program(KORVO_BASH NAMES bash REQUIRED)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(format pei-x86-64)
  else()
    set(format pei-i386)
  endif()
  set(cmd ${KORVO_BASH} ${PROJECT_SOURCE_DIR}/tools/pe-check
      --objdump ${KORVO_OBJDUMP} --format ${format})
  if(ARG_EXPORTS)
    list(JOIN ARG_EXPORTS "," exports)
    list(APPEND cmd --exports ${exports})
  endif()
  add_test(NAME pe_check.${target} COMMAND ${cmd} $<TARGET_FILE:${target}>)
  set_tests_properties(pe_check.${target} PROPERTIES LABELS pe)
endfunction()
