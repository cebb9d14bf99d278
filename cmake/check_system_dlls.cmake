cmake_minimum_required(VERSION 3.20)
# Fails when EXE links a DLL that is not part of every Windows (a MinGW
# runtime such as libstdc++-6.dll or libwinpthread-1.dll would have to ship
# beside the setup).
execute_process(COMMAND i686-w64-mingw32-objdump -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${EXE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" names "${dump}")
set(system advapi32.dll kernel32.dll msvcrt.dll shell32.dll user32.dll gdi32.dll comctl32.dll version.dll ole32.dll oleaut32.dll)
foreach(line IN LISTS names)
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(TOLOWER "${dll}" dll)
  if(NOT dll IN_LIST system)
    message(FATAL_ERROR "${EXE} needs ${dll}, which Windows does not have")
  endif()
  message(STATUS "system DLL: ${dll}")
endforeach()
