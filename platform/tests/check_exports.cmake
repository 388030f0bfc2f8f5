cmake_minimum_required(VERSION 3.20)
# Checks that the product library (PRODUCT) exports no test hook: nothing of
# namespace ce::testing is in its dynamic symbol table. Its test build
# (TESTING) must export them, or the check would pass on a library that
# lost them both ways.
foreach(library PRODUCT TESTING)
  execute_process(COMMAND nm -D -C --defined-only ${${library}} OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "nm cannot read ${${library}}")
  endif()
  string(REGEX MATCHALL "[^\n]*ce::testing::[^\n]*" hooks "${symbols}")
  list(LENGTH hooks count_${library})
endforeach()
message(STATUS "test hooks exported: ${count_PRODUCT} by ${PRODUCT}, ${count_TESTING} by ${TESTING}")
if(count_PRODUCT GREATER 0)
  message(FATAL_ERROR "the product library exports test hooks")
endif()
if(count_TESTING EQUAL 0)
  message(FATAL_ERROR "the test build of the library exports no test hook")
endif()
