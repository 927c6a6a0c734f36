# Run after widl: the string-literal defaults widl gives optional BSTR parameters
# (`BSTR Pattern = L""`) become null BSTRs, which every BSTR reader takes as the empty string.
# A wide literal is no BSTR, and compilers in strict conformance modes refuse the conversion,
# so a client header must not carry them. Usage:
#   cmake -DHEADER=<korvo.h> -P KorvoClientHeader.cmake
file(READ ${HEADER} text)
string(REPLACE " = L\"\")" " = 0)" text "${text}")
string(FIND "${text}" "L\"\"" left)
if(NOT left EQUAL -1)
  message(FATAL_ERROR "${HEADER}: a wide-literal default is left at offset ${left}")
endif()
file(WRITE ${HEADER} "${text}")
