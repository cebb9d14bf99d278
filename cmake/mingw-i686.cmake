# Cross toolchain for the 32-bit Windows build: the setup we ship.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Tests of the Win32 tree run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
