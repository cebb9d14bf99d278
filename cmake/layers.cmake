# vespodar_layer(NAME PORTABLE sources... WIN32 sources... USES layers...):
# the static library vespodar_NAME of one layer. Its portable sources build
# everywhere (the unit tests link them on Linux); its Win32 sources only in
# the Windows builds. USES names the layers below it that it links.
function(vespodar_layer name)
  cmake_parse_arguments(LAYER "" "" "PORTABLE;WIN32;USES" ${ARGN})
  set(sources ${LAYER_PORTABLE})
  if(VESPODAR_WINDOWS)
    list(APPEND sources ${LAYER_WIN32})
  endif()
  add_library(vespodar_${name} STATIC ${sources})
  target_include_directories(vespodar_${name} PUBLIC ${CMAKE_SOURCE_DIR})
  foreach(used IN LISTS LAYER_USES)
    target_link_libraries(vespodar_${name} PUBLIC vespodar_${used})
  endforeach()
endfunction()
