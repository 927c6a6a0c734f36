# The Lua sources of the share layer, compiled in as text: each <name>.lua becomes the header
# share/<name>_lua.h in the build tree, one constant holding the file as a raw string, behind
# one newline.
#
#   included:  korvo_embed_lua(<target> <name> <constant>) adds the header to <target>'s include path
#              and remakes it whenever the Lua file changes
#   -P mode:   cmake -DINPUT=<file.lua> -DOUTPUT=<header> -DCONSTANT=<name> -P EmbedLua.cmake

if(CMAKE_SCRIPT_MODE_FILE)
  file(READ ${INPUT} text)
  if(text MATCHES "\\)lua\"")
    message(FATAL_ERROR "${INPUT} holds )lua\", which would end the raw string")
  endif()
  get_filename_component(source ${INPUT} NAME)
  file(WRITE ${OUTPUT}
       "// Made from share/lua/${source} at build time; edit the Lua file.\n"
       "#pragma once\n\n#include <string_view>\n\nnamespace korvo {\n\n"
       "inline constexpr std::string_view ${CONSTANT} = R\"lua(\n${text})lua\";\n\n} // namespace korvo\n")
  return()
endif()

set(KORVO_EMBED_LUA_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

# korvo_embed_lua(<target> <name> <constant>): share/lua/<name>.lua as the constant <constant>
# of share/<name>_lua.h.
function(korvo_embed_lua target name constant)
  set(input ${CMAKE_CURRENT_SOURCE_DIR}/share/lua/${name}.lua)
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/generated)
  set(output ${folder}/share/${name}_lua.h)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${output} -DCONSTANT=${constant} -P ${KORVO_EMBED_LUA_SCRIPT}
    DEPENDS ${input} ${KORVO_EMBED_LUA_SCRIPT}
    COMMENT "Embedding share/lua/${name}.lua")
  target_sources(${target} PRIVATE ${output})
  target_include_directories(${target} PUBLIC ${folder})
endfunction()
