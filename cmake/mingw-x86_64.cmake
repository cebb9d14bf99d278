# Cross toolchain for a 64-bit build of the same sources. The setup we ship
# is the 32-bit one; this build exists for test machines whose kernel runs no
# 32-bit programs, where Wine has only its 64-bit half.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Tests of the Win32 tree run under Wine's 64-bit loader, which Debian keeps
# outside PATH ("wine" would pick the 32-bit one).
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
