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
  add_test(NAME ${name}
           COMMAND ${name} --gtest_output=xml:${MOKUNA_TEST_RESULTS}/${name}.xml
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
