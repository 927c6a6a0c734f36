# Runs one script under cscript and judges it by exit code and the final "PASS" line.
# Inputs: RUNNER (emulator command, "|"-separated, may be empty), HOST (default cscript), SCRIPT,
# ARGS ("|"-separated).
string(REPLACE "|" ";" runner "${RUNNER}")
string(REPLACE "|" ";" args "${ARGS}")
set(script "${SCRIPT}")
if(NOT HOST)
  set(HOST cscript)
endif()
if(runner AND script MATCHES "^/")
  # Under Wine a Unix path is drive Z:; cscript would read a leading "/" as one of its options.
  string(REPLACE "/" "\\" script "Z:${script}")
endif()
execute_process(
  COMMAND ${runner} ${HOST} //nologo ${script} ${args}
  RESULT_VARIABLE rc
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err
  TIMEOUT 120)
message("${out}${err}")
string(REPLACE "\r" "" out "${out}")
string(STRIP "${out}" out)
string(REGEX MATCH "[^\n]*$" last_line "${out}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "script ${SCRIPT} exited with ${rc}")
endif()
if(NOT last_line STREQUAL "PASS")
  message(FATAL_ERROR "script ${SCRIPT} did not reach its end (last line: \"${last_line}\")")
endif()
