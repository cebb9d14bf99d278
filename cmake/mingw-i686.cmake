# Cross toolchain for the 32-bit Windows build.
#
# MINGW_THREADS picks the runtime flavour:
#   win32 - the setup itself. Its runtime imports only what Windows XP SP3 has.
#   posix - the Win32 test executables. GoogleTest needs std::mutex, which only
#           the posix flavour offers; its runtime imports GetTickCount64 (Vista+),
#           which is fine for tests that only ever run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

if(NOT MINGW_THREADS)
  set(MINGW_THREADS win32)
endif()
set(MINGW_THREADS "${MINGW_THREADS}" CACHE STRING "win32 for the setup, posix for the Win32 tests")

set(CMAKE_C_COMPILER   i686-w64-mingw32-gcc-${MINGW_THREADS})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${MINGW_THREADS})
set(CMAKE_RC_COMPILER  i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Tests of the Win32 tree run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
