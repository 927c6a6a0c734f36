# Fails when a source file under src/ includes a header of a layer above its own.
#
#   cmake -DSOURCE_DIR=<src> -P KorvoCheckIncludes.cmake
#
# The layers, lowest first; a file may include its own layer's headers and those of the
# layers below. The platform's own folders (posix/, win32/) are part of the platform. The
# headers generated at build time (the interface header from widl, the version header from
# the project version) belong to the server alone.
set(layers platform errors remote store persist share members server)

if(NOT SOURCE_DIR)
  message(FATAL_ERROR "KorvoCheckIncludes: pass -DSOURCE_DIR=<the src folder>")
endif()
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.cpp ${SOURCE_DIR}/*.rc)
set(violations 0)
foreach(source IN LISTS sources)
  string(REGEX MATCH "^[^/]+" layer "${source}")
  list(FIND layers "${layer}" own)
  if(own EQUAL -1)
    continue()
  endif()
  file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" header "${line}")
    get_filename_component(folder ${SOURCE_DIR}/${source} DIRECTORY)
    if(EXISTS ${folder}/${header})
      # Beside the file, or in a folder of its own layer (platform/posix/...).
    elseif(header MATCHES "/")
      string(REGEX MATCH "^[^/]+" target "${header}")
      list(FIND layers "${target}" level)
      if(level EQUAL -1 OR level GREATER own)
        message(STATUS "${source}: includes \"${header}\" (${target} is not below ${layer})")
        math(EXPR violations "${violations} + 1")
      endif()
    elseif(header STREQUAL "korvo.h" OR header STREQUAL "korvo_version.h")
      if(NOT layer STREQUAL "server")
        message(STATUS "${source}: includes the generated \"${header}\" outside the server")
        math(EXPR violations "${violations} + 1")
      endif()
    else()
      message(STATUS "${source}: includes \"${header}\", which is not in its own folder")
      math(EXPR violations "${violations} + 1")
    endif()
  endforeach()
endforeach()
list(LENGTH sources checked)
if(violations GREATER 0)
  message(FATAL_ERROR "${violations} include(s) outside the layer order (${checked} files checked)")
endif()
message(STATUS "every include of ${checked} files follows the layer order")
