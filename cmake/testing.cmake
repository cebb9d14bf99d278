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

# vespodar_unit_test(name source...): a Linux unit test of portable code.
function(vespodar_unit_test name)
  if(VESPODAR_UNIT_TESTS)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE vespodar_core GTest::gtest_main)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30)
  endif()
endfunction()

# vespodar_win32_test(name source...): a test of the Win32 layer, run under Wine.
function(vespodar_win32_test name)
  if(VESPODAR_WIN32_TESTS)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE vespodar_win gtest_main)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 120)
  endif()
endfunction()
