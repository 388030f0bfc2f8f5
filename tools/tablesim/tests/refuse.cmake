# Runs tablesim with ARGS (separated by '|') and passes when it exits with
# status 2 and says something matching EXPECT on stderr; with QUIET set it
# must also print nothing on stdout.
string(REPLACE "|" ";" args "${ARGS}")
execute_process(COMMAND ${TOOL} ${args} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 2)
  message(FATAL_ERROR "exit status ${rc}, not 2\nstdout: ${out}\nstderr: ${err}")
endif()
if(NOT err MATCHES "${EXPECT}")
  message(FATAL_ERROR "stderr does not match '${EXPECT}': ${err}")
endif()
if(QUIET AND NOT out STREQUAL "")
  message(FATAL_ERROR "a refused run printed on stdout: ${out}")
endif()
