# ce_use_internals(TARGET)
# The target reaches into the platform's internals (headers under
# platform/src): it links the platform's static variant, where they are
# visible, instead of the shared library.
function(ce_use_internals target)
  set_target_properties(${target} PROPERTIES CE_STATIC ON)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/platform/src)
endfunction()

# ks_add_test(NAME SOURCES ... LIBS ... [LABELS ...])
# One GoogleTest executable; each test case becomes a CTest test. The test
# entry (ce_test_main) uses the platform's internals, so test programs link
# its static variant.
function(ks_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} ce_test_main GTest::gtest GTest::gmock Threads::Threads)
  set_target_properties(${name} PROPERTIES CE_STATIC ON)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 300)
endfunction()

# ks_add_bench(NAME SOURCES ... LIBS ...)
# A Google Benchmark program; benchmarks are run by hand, never by CTest.
function(ks_add_bench name)
  if(NOT KS_BENCHMARKS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main)
endfunction()

# ks_register_program(NAME): "./setup.sh run" starts it.
function(ks_register_program name)
  file(APPEND ${CMAKE_BINARY_DIR}/programs.txt "${name}\n")
endfunction()

# Adds each listed subdirectory that exists, so a subsystem joins the build
# as soon as its folder lands.
function(ks_add_subdirectories)
  foreach(dir ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()
