# Where executables land: build/bin holds the programs and tools only; test
# programs, benchmarks and fuzz drivers have folders of their own.
set(KS_TESTS_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
set(KS_BENCH_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
set(KS_FUZZ_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
# Data made at build time (fonts, models), beside bin/ in the build tree and
# in an installed tree alike, so programs find it from their own executable.
set(KS_DATA_DIR ${CMAKE_BINARY_DIR}/data)

# Test programs are compiled unoptimised in every build: their own code is
# short calls into the libraries, which keep the build's optimisation, and
# optimising it more than doubled the time to rebuild them after a change to
# a common header. Benchmarks are not test programs: they keep it.
set(KS_TEST_COMPILE_OPTIONS -O0)

# ce_use_internals(TARGET)
# The target reaches into the platform's internals (headers under
# platform/src): it links the platform's static variant, where they are
# visible, instead of the shared library.
function(ce_use_internals target)
  set_target_properties(${target} PROPERTIES CE_STATIC ON)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/platform/src)
endfunction()

# ks_add_gtest_tests(TARGET LABELS...)
# Registers a GoogleTest program with CTest: each test case in a process of
# its own, or, with KS_WHOLE_TEST_PROGRAMS, the program whole in one process
# with its tests in a shuffled order (which shows tests that lean on what an
# earlier test left behind; the seed is printed for a rerun with
# --gtest_random_seed).
function(ks_add_gtest_tests name)
  if(KS_WHOLE_TEST_PROGRAMS)
    add_test(NAME ${name} COMMAND ${name} --gtest_shuffle)
    set_tests_properties(${name} PROPERTIES LABELS "${ARGN}" TIMEOUT 1800)
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES LABELS "${ARGN}" TIMEOUT 300)
  endif()
endfunction()

# ks_add_test(NAME SOURCES ... LIBS ... [LABELS ...])
# One GoogleTest executable (see ks_add_gtest_tests for how CTest runs it).
# It links the shared platform library, as programs do, in its test build
# (with the testing interface, ce/testing.h). With KS_TEST_PCH its sources
# reuse the tests' precompiled header (testing/pch). Its sources are compiled
# with KS_TEST_COMPILE_OPTIONS.
function(ks_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${KS_TEST_COMPILE_OPTIONS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KS_TESTS_OUTPUT_DIRECTORY} CE_TESTING ON)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} ce_test_main GTest::gtest GTest::gmock Threads::Threads)
  if(KS_TEST_PCH)
    target_precompile_headers(${name} REUSE_FROM ks_test_pch)
  endif()
  ks_add_gtest_tests(${name} ${ARG_LABELS})
endfunction()

# ks_add_bench(NAME SOURCES ... LIBS ...)
# A Google Benchmark program; benchmarks are run by hand, never by CTest.
function(ks_add_bench name)
  if(NOT KS_BENCHMARKS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KS_BENCH_OUTPUT_DIRECTORY} CE_TESTING ON)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main)
endfunction()

# ks_sort_executables(DIR): executables made without the helpers above (fuzz
# drivers, a benchmark's own program) go by the folder of their sources:
# fuzz/, bench/ or tests/ sends them beside their kind. Walks DIR's
# subdirectories too; run once every directory is added.
function(ks_sort_executables dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    get_target_property(output ${target} RUNTIME_OUTPUT_DIRECTORY)
    if(NOT type STREQUAL "EXECUTABLE" OR NOT output STREQUAL CMAKE_RUNTIME_OUTPUT_DIRECTORY)
      continue()
    endif()
    get_target_property(sources ${target} SOURCES)
    foreach(kind fuzz bench tests)
      set(matching ${sources})
      list(FILTER matching INCLUDE REGEX "(^|/)${kind}/")
      if(matching)
        string(TOUPPER ${kind} upper)
        set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KS_${upper}_OUTPUT_DIRECTORY})
        break()
      endif()
    endforeach()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    ks_sort_executables(${sub})
  endforeach()
endfunction()

# ks_bin_uses_install_rpath(DIR): what the build puts in bin/ and lib/
# carries the run path it is installed with ($ORIGIN/../lib, which finds
# build/lib from either). Otherwise the build's run path is padded with
# empty entries to leave room for the installed one, and an empty entry
# makes the loader look for every library in the current folder first.
# Walks DIR's subdirectories too; run once every directory is added.
function(ks_bin_uses_install_rpath dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      get_target_property(output ${target} RUNTIME_OUTPUT_DIRECTORY)
    elseif(type MATCHES "^(MODULE|SHARED)_LIBRARY$")
      get_target_property(output ${target} LIBRARY_OUTPUT_DIRECTORY)
    else()
      continue()
    endif()
    if(output STREQUAL CMAKE_RUNTIME_OUTPUT_DIRECTORY OR output STREQUAL CMAKE_LIBRARY_OUTPUT_DIRECTORY)
      set_target_properties(${target} PROPERTIES BUILD_WITH_INSTALL_RPATH ON)
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    ks_bin_uses_install_rpath(${sub})
  endforeach()
endfunction()

# ks_install_program(NAME): installs a program or tool into bin/ of the
# install prefix.
function(ks_install_program name)
  install(TARGETS ${name} RUNTIME DESTINATION bin)
endfunction()

# ks_add_program_script(NAME [SOURCE]): copies the program's script (SOURCE,
# by default resources/NAME/NAME.script) into the data folder, as
# data/NAME/<its file name>, where the program finds it from its own folder
# (bin/../data) and runs it when there is no display.
function(ks_add_program_script name)
  set(source ${PROJECT_SOURCE_DIR}/resources/${name}/${name}.script)
  if(ARGC GREATER 1)
    set(source ${ARGV1})
  endif()
  get_filename_component(file ${source} NAME)
  set(copy ${KS_DATA_DIR}/${name}/${file})
  add_custom_command(OUTPUT ${copy} COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy} DEPENDS ${source} VERBATIM)
  add_custom_target(ks_${name}_script ALL DEPENDS ${copy})
  add_dependencies(${name} ks_${name}_script)
endfunction()

# ks_register_program(NAME): "./setup.sh run" starts it; it is installed.
function(ks_register_program name)
  file(APPEND ${CMAKE_BINARY_DIR}/programs.txt "${name}\n")
  ks_install_program(${name})
endfunction()

# ks_add_program(NAME SOURCES ... LIBS ... [ICON DESIGN] [RESOURCES FOLDER]
#                [SEARCH FOLDER...] [RESOURCE_DEPENDS FILE...] [SCRIPT FILE]
#                [DATA TARGET...])
# One of the device's programs: the executable in bin/, linked with LIBS and
# the platform library; its resources from FOLDER (as ks_add_resources, with
# SEARCH and RESOURCE_DEPENDS), with the icon DESIGN drawn as "program.ico"
# when ICON is given (as ks_add_program_icon); its script FILE copied into
# data/NAME/ (as ks_add_program_script); the DATA targets, which make what it
# reads at run time, built before it. "./setup.sh run" starts it and it is
# installed (as ks_register_program).
function(ks_add_program name)
  cmake_parse_arguments(ARG "" "ICON;RESOURCES;SCRIPT" "SOURCES;LIBS;SEARCH;RESOURCE_DEPENDS;DATA" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} ce)
  if(ARG_ICON)
    if(NOT ARG_RESOURCES OR ARG_SEARCH OR ARG_RESOURCE_DEPENDS)
      message(FATAL_ERROR "ks_add_program(${name}): ICON takes RESOURCES and no SEARCH or RESOURCE_DEPENDS")
    endif()
    ks_add_program_icon(${name} ${ARG_ICON} ${ARG_RESOURCES})
  elseif(ARG_RESOURCES)
    ks_add_resources(${name} ${ARG_RESOURCES} SEARCH ${ARG_SEARCH} DEPENDS ${ARG_RESOURCE_DEPENDS})
  endif()
  if(ARG_SCRIPT)
    ks_add_program_script(${name} ${ARG_SCRIPT})
  endif()
  if(ARG_DATA)
    add_dependencies(${name} ${ARG_DATA})
  endif()
  ks_register_program(${name})
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

# ks_add_resources(TARGET FOLDER [SEARCH FOLDER...] [DEPENDS TARGET...])
# Compiles the module's resources into TARGET (a program or a library): the
# one resource script (*.ksr) in FOLDER, and the pictures and files it names
# (beside it, then in the SEARCH folders, for files made at build time by the
# DEPENDS targets). A script with errors fails the build with its file and
# line. The table is exported as the symbol the platform looks up on the
# module's handle; a program exports that one symbol from its executable.
# Call it in the folder whose CMakeLists.txt makes TARGET.
function(ks_add_resources target folder)
  cmake_parse_arguments(ARG "" "" "SEARCH;DEPENDS" ${ARGN})
  get_filename_component(folder ${folder} ABSOLUTE)
  file(GLOB scripts CONFIGURE_DEPENDS ${folder}/*.ksr)
  list(LENGTH scripts count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "ks_add_resources(${target}): ${folder} must hold exactly one .ksr script")
  endif()
  file(GLOB inputs CONFIGURE_DEPENDS ${folder}/*)
  set(output ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
  set(search_args "")
  foreach(dir IN LISTS ARG_SEARCH)
    list(APPEND search_args -I ${dir})
  endforeach()
  add_custom_command(
    OUTPUT ${output}
    COMMAND rescomp ${scripts} -o ${output} ${search_args}
    DEPENDS rescomp ${inputs} ${ARG_DEPENDS}
    COMMENT "Compiling the resources of ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${output})
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    target_link_options(${target} PRIVATE "LINKER:--export-dynamic-symbol=ce_module_resources")
  endif()
endfunction()

# ks_add_program_icon(TARGET DESIGN FOLDER): the program's resources from
# FOLDER (one .ksr script, as ks_add_resources) with the icon DESIGN drawn
# at build time by tools/iconmake as "program.ico", for the script to name.
function(ks_add_program_icon target design folder)
  set(icons ${CMAKE_CURRENT_BINARY_DIR}/${target}_icon)
  add_custom_command(OUTPUT ${icons}/program.ico
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${icons}
                     COMMAND iconmake ${design} ${icons}/program.ico
                     DEPENDS iconmake VERBATIM)
  ks_add_resources(${target} ${folder} SEARCH ${icons} DEPENDS ${icons}/program.ico)
endfunction()
