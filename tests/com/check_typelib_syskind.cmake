# Checks the system kind in a type library's header: the flags word at offset 20 of an
# "MSFT" file holds it in its low four bits (1 = SYS_WIN32, 3 = SYS_WIN64).
# Inputs: TYPELIB (file), EXPECTED (number).
file(READ ${TYPELIB} magic OFFSET 0 LIMIT 4 HEX)
if(NOT magic STREQUAL "4d534654")
  message(FATAL_ERROR "${TYPELIB} is not an MSFT type library (starts with ${magic})")
endif()
file(READ ${TYPELIB} flags OFFSET 20 LIMIT 1 HEX)
math(EXPR syskind "0x${flags} & 0xF")
if(NOT syskind EQUAL EXPECTED)
  message(FATAL_ERROR "${TYPELIB}: system kind ${syskind}, expected ${EXPECTED}")
endif()
message("${TYPELIB}: system kind ${syskind}")
