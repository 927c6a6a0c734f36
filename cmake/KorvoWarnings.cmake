# Every target of the project compiles with -Wall -Wextra; KORVO_WERROR (ON in the presets)
# turns warnings into errors. Third-party code (GoogleTest) is built in its own directory
# scope with its warnings left alone, see tests/CMakeLists.txt.
add_compile_options(-Wall -Wextra)
if(KORVO_WERROR)
  add_compile_options(-Werror)
endif()
