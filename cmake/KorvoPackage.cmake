# What a release holds, and the archives `./run package` makes of it. Each Windows build
# installs its own DLL and type library under x64/ or x86/; the x64 build adds what both share
# (the client header and GUID file, the file tool, the documents, the examples) and packs the two builds into
# one archive: dist/korvod-<version>-windows.zip, with the debug information of both DLLs in
# dist/korvod-<version>-windows-symbols.zip.
if(NOT WIN32 OR NOT TARGET Korvod)
  return()
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(korvo_arch x64)
else()
  set(korvo_arch x86)
endif()

install(FILES $<TARGET_FILE:Korvod> DESTINATION ${korvo_arch} COMPONENT runtime)
install(FILES ${KORVO_TYPELIB_FILE} DESTINATION ${korvo_arch} RENAME Korvod.tlb COMPONENT runtime)
install(FILES $<TARGET_FILE:Korvod>.debug DESTINATION ${korvo_arch} COMPONENT symbols OPTIONAL)
if(NOT korvo_arch STREQUAL x64)
  return()
endif()

install(FILES ${KORVO_GENERATED_DIR}/korvo.h ${KORVO_GENERATED_DIR}/korvo_i.c DESTINATION include COMPONENT runtime)
install(FILES README.md LICENSE CHANGELOG.md DESTINATION . COMPONENT runtime)
install(FILES docs/reference.md docs/korvo-dic.md DESTINATION docs COMPONENT runtime)
if(TARGET korvo-dic)
  # The file tool ships linked without its debug information (-s): it is small and self-contained.
  target_link_options(korvo-dic PRIVATE $<$<CONFIG:Release>:-s>)
  install(PROGRAMS $<TARGET_FILE:korvo-dic> DESTINATION tools COMPONENT runtime)
endif()
install(DIRECTORY examples/ DESTINATION examples COMPONENT runtime PATTERN CMakeLists.txt EXCLUDE
        PATTERN *.expected EXCLUDE)

set(KORVO_X86_BUILD_DIR ${PROJECT_SOURCE_DIR}/build/win32 CACHE PATH
    "The win32 preset's build folder, whose install rules the package takes in as well")
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME korvod)
set(CPACK_PACKAGE_VENDOR "${KORVO_COMPANY}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_SOURCE_DIR}/dist)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime symbols)
set(CPACK_ARCHIVE_RUNTIME_FILE_NAME korvod-${PROJECT_VERSION}-windows)
set(CPACK_ARCHIVE_SYMBOLS_FILE_NAME korvod-${PROJECT_VERSION}-windows-symbols)
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${CMAKE_BINARY_DIR};Korvod;ALL;/"
    "${KORVO_X86_BUILD_DIR};Korvod;ALL;/")
include(CPack)
