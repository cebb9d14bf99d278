cmake_minimum_required(VERSION 3.20)
# Fails when EXE links a DLL that is not part of every Windows (a MinGW
# runtime such as libstdc++-6.dll or libwinpthread-1.dll would have to ship
# beside the setup). OBJDUMP is the MinGW objdump of EXE's own architecture
# (the build's CMAKE_OBJDUMP); the 32-bit one when it is not given.
if(NOT OBJDUMP)
  set(OBJDUMP i686-w64-mingw32-objdump)
endif()
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${EXE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" names "${dump}")
#
# Nor may it import any other system DLL: the loader would map it before the
# entry, at every start, even for a silent run that shows nothing. Some of
# them are not among the DLLs Windows always takes from its own directory
# (the KnownDLLs): the loader would look for those beside the setup first,
# before the entry can narrow the search, and a copy planted in the download
# folder would run elevated. Every other DLL is loaded at its first use, by
# its full path (base/system_dll_win.h).
set(system advapi32.dll kernel32.dll msvcrt.dll)
set(not_known version.dll comctl32.dll)
foreach(line IN LISTS names)
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(TOLOWER "${dll}" dll)
  if(dll IN_LIST not_known)
    message(FATAL_ERROR "${EXE} imports ${dll} by name: a copy beside the setup would be loaded")
  endif()
  if(NOT dll IN_LIST system)
    message(FATAL_ERROR "${EXE} imports ${dll}: a runtime DLL is not on Windows, a system DLL is loaded at its first use")
  endif()
  message(STATUS "system DLL: ${dll}")
endforeach()
