# What both MinGW toolchains share; each sets MINGW_TRIPLET first.
#
# MINGW_THREADS picks the runtime flavour (each preset in CMakePresets.json
# sets the one its build needs):
#   win32 - the setup itself. Its runtime imports only what Windows XP SP3 has.
#   posix - the Win32 test executables. GoogleTest needs std::mutex, which only
#           the posix flavour offers; its runtime imports GetTickCount64 (Vista+),
#           which is fine for tests that only ever run under Wine.
set(CMAKE_SYSTEM_NAME Windows)

if(NOT MINGW_THREADS)
  set(MINGW_THREADS win32)
endif()
set(MINGW_THREADS "${MINGW_THREADS}" CACHE STRING "win32 for the setup, posix for the Win32 tests")

set(CMAKE_C_COMPILER   ${MINGW_TRIPLET}-gcc-${MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-${MINGW_THREADS})
set(CMAKE_RC_COMPILER  ${MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
