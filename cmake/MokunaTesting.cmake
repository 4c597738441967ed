# Helpers for the three kinds of test program.
#   mokuna_native_test(name SOURCES ... LIBS ...)  portable code, host build only
#   mokuna_win_test(name SOURCES ... LIBS ...)     Win32 code, Windows build only (runs under Wine on Linux)
#   mokuna_fuzz_target(name SOURCES ... LIBS ...)  libFuzzer target, fuzz build only
# Every gtest program writes its results as XML to ${MOKUNA_TEST_RESULTS}, where the test script counts them.
include_guard(GLOBAL)

set(MOKUNA_TEST_RESULTS ${CMAKE_BINARY_DIR}/test-results CACHE INTERNAL "")

function(_mokuna_gtest_target name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  set(report ${MOKUNA_TEST_RESULTS}/${name}.xml)
  if(CMAKE_CROSSCOMPILING AND CMAKE_HOST_UNIX)
    # Under Wine a path starting with "/" is taken on the current drive, which a test may change.
    set(report Z:${report})
  endif()
  add_test(NAME ${name}
           COMMAND ${name} --gtest_output=xml:${report}
           WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()

function(mokuna_native_test name)
  if(NOT WIN32 AND NOT MOKUNA_FUZZ)
    _mokuna_gtest_target(${name} ${ARGN})
    set_tests_properties(${name} PROPERTIES LABELS native)
  endif()
endfunction()

function(mokuna_win_test name)
  if(WIN32)
    _mokuna_gtest_target(${name} ${ARGN})
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/win/support)
    # Wine's first start in a fresh prefix is slow; the runner does it once and then each program starts quickly.
    set_tests_properties(${name} PROPERTIES LABELS wine TIMEOUT 600)
  endif()
endfunction()

function(mokuna_fuzz_target name)
  if(MOKUNA_FUZZ)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    set_property(GLOBAL APPEND PROPERTY MOKUNA_FUZZ_TARGETS ${name})
  endif()
endfunction()

# mokuna_e2e_test(name SCRIPT file.py)  a Python end-to-end test of the Windows build, run under Xvfb + Wine.
function(mokuna_e2e_test name)
  if(WIN32)
    cmake_parse_arguments(T "" "SCRIPT" "DEPENDS" ${ARGN})
    add_test(NAME ${name} COMMAND python3 ${T_SCRIPT} WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
    set_tests_properties(${name} PROPERTIES LABELS e2e TIMEOUT 900 ENVIRONMENT
      "MOKUNA_SOURCE_DIR=${CMAKE_SOURCE_DIR};MOKUNA_BUILD_DIR=${CMAKE_BINARY_DIR};MOKUNA_TEST_RESULTS=${MOKUNA_TEST_RESULTS};PYTHONPATH=${CMAKE_SOURCE_DIR}/tests/e2e")
  endif()
endfunction()

# mokuna_core_library(name folder source...): a static library of the sources (named relative to folder),
# including folder, on top of mokuna_common. Without sources it is an interface library, so dependants still
# link.
function(mokuna_core_library name folder)
  set(sources "")
  foreach(source ${ARGN})
    list(APPEND sources ${folder}/${source})
  endforeach()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${folder})
    target_link_libraries(${name} PUBLIC mokuna_common)
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${folder})
    target_link_libraries(${name} INTERFACE mokuna_common)
  endif()
endfunction()
