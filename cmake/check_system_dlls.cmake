cmake_minimum_required(VERSION 3.20)
# Fails when EXE links a DLL that is not part of every Windows (a MinGW
# runtime such as libstdc++-6.dll or libwinpthread-1.dll would have to ship
# beside the setup).
execute_process(COMMAND i686-w64-mingw32-objdump -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${EXE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" names "${dump}")
#
# Nor may it import a system DLL by name that Windows does not always load from
# its own directory (the KnownDLLs): the loader would look for it beside the
# setup first, before the entry can narrow the search, and a DLL of that name
# planted in the download folder would run elevated. Such DLLs (version.dll)
# are loaded by their full path at run time instead. comctl32.dll is the one
# exception: the manifest's dependency makes the loader take it from the
# side-by-side store.
set(system advapi32.dll kernel32.dll msvcrt.dll shell32.dll user32.dll gdi32.dll comctl32.dll ole32.dll oleaut32.dll)
set(not_known version.dll)
foreach(line IN LISTS names)
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(TOLOWER "${dll}" dll)
  if(dll IN_LIST not_known)
    message(FATAL_ERROR "${EXE} imports ${dll} by name: a copy beside the setup would be loaded")
  endif()
  if(NOT dll IN_LIST system)
    message(FATAL_ERROR "${EXE} needs ${dll}, which Windows does not have")
  endif()
  message(STATUS "system DLL: ${dll}")
endforeach()
