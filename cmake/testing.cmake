# Helpers that put a test beside the code it tests.

if(VESPODAR_UNIT_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

if(VESPODAR_WIN32_TESTS)
  # Debian's googletest sources, built with the posix MinGW compiler.
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# Each test links the layer of the directory it sits in (and so the layers
# below it).
function(vespodar_layer_of_directory out)
  get_filename_component(layer ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set(${out} vespodar_${layer} PARENT_SCOPE)
endfunction()

# vespodar_unit_test(name source...): a Linux unit test of portable code.
function(vespodar_unit_test name)
  if(VESPODAR_UNIT_TESTS)
    vespodar_layer_of_directory(layer)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE ${layer} GTest::gtest_main)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30)
  endif()
endfunction()

# vespodar_win32_test(name source...): a test of the Win32 layer, run under Wine.
function(vespodar_win32_test name)
  if(VESPODAR_WIN32_TESTS)
    vespodar_layer_of_directory(layer)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE ${layer} gtest_main)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 120)
  endif()
endfunction()

# vespodar_fuzz_target(name source... [SEEDS source...]): a libFuzzer target
# for a parser, run by ctest for a bounded time. The sources of the parser
# under test belong in the list, so that they are built with the fuzzer's
# coverage feedback; the rest comes from the layer's library. SEEDS are the
# sources of a program that writes the inputs the run starts from into the
# directory it is given (valid inputs past what random bytes reach), run as a
# test of its own first. libFuzzer is clang's: the fuzz build takes clang.
set(VESPODAR_FUZZ_SECONDS 10 CACHE STRING "How long ctest runs each fuzz target")
function(vespodar_fuzz_target name)
  cmake_parse_arguments(PARSE_ARGV 1 fuzz "" "" SEEDS)
  if(VESPODAR_FUZZ)
    vespodar_layer_of_directory(layer)
    add_executable(${name} ${fuzz_UNPARSED_ARGUMENTS})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${layer})
    set(corpus)
    if(fuzz_SEEDS)
      set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}_corpus)
      file(MAKE_DIRECTORY ${corpus})
      add_executable(${name}_seeds ${fuzz_SEEDS})
      target_link_libraries(${name}_seeds PRIVATE ${layer})
      add_test(NAME ${name}_seeds COMMAND ${name}_seeds ${corpus})
      set_tests_properties(${name}_seeds PROPERTIES FIXTURES_SETUP ${name}_corpus LABELS fuzz)
    endif()
    add_test(NAME ${name}
             COMMAND ${name} -max_total_time=${VESPODAR_FUZZ_SECONDS} -timeout=10
                     -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 ${corpus})
    math(EXPR limit "${VESPODAR_FUZZ_SECONDS} * 3 + 30")
    set_tests_properties(${name} PROPERTIES TIMEOUT ${limit} LABELS fuzz)
    if(fuzz_SEEDS)
      set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED ${name}_corpus)
    endif()
  endif()
endfunction()
