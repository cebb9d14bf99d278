# zstd, for setups that carry a compressed or delta package: its decoder
# alone, built from Debian's source package (scripts/fetch-zstd.sh unpacks
# the version cmake/zstd.pin names into build/deps). The Linux builds (unit
# tests, fuzz targets) take Debian's libzstd-dev instead; they need its
# encoder too, to make the frames they decode.
#
# vespodar_zstd: the library to link.
file(READ "${CMAKE_SOURCE_DIR}/cmake/zstd.pin" VESPODAR_ZSTD_VERSION)
string(STRIP "${VESPODAR_ZSTD_VERSION}" VESPODAR_ZSTD_VERSION)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/cmake/zstd.pin")

if(NOT VESPODAR_WINDOWS)
  find_path(VESPODAR_ZSTD_INCLUDE zstd.h)
  find_library(VESPODAR_ZSTD_LIBRARY zstd)
  if(VESPODAR_ZSTD_INCLUDE AND VESPODAR_ZSTD_LIBRARY)
    add_library(vespodar_zstd INTERFACE)
    target_include_directories(vespodar_zstd INTERFACE ${VESPODAR_ZSTD_INCLUDE})
    target_link_libraries(vespodar_zstd INTERFACE ${VESPODAR_ZSTD_LIBRARY})
  endif()
  return()
endif()

set(VESPODAR_ZSTD_SOURCE "${CMAKE_SOURCE_DIR}/build/deps/libzstd-${VESPODAR_ZSTD_VERSION}"
    CACHE PATH "zstd's unpacked source (scripts/fetch-zstd.sh)")
if(NOT EXISTS "${VESPODAR_ZSTD_SOURCE}/lib/zstd.h")
  return()
endif()
set(zstd_lib "${VESPODAR_ZSTD_SOURCE}/lib")
add_library(vespodar_zstd STATIC
  ${zstd_lib}/common/entropy_common.c ${zstd_lib}/common/error_private.c
  ${zstd_lib}/common/fse_decompress.c ${zstd_lib}/common/xxhash.c ${zstd_lib}/common/zstd_common.c
  ${zstd_lib}/decompress/huf_decompress.c ${zstd_lib}/decompress/zstd_ddict.c
  ${zstd_lib}/decompress/zstd_decompress.c ${zstd_lib}/decompress/zstd_decompress_block.c)
target_include_directories(vespodar_zstd SYSTEM PUBLIC ${zstd_lib})
# The decoder's options, each for its reason:
#   ZSTD_DISABLE_ASM        the x86-64 Huffman loop is ELF assembly; the C one
#                           serves both PE targets
#   ZSTD_LEGACY_SUPPORT=0   no frames of zstd before 0.8: nobody makes them
#   ZSTD_STRIP_ERROR_STRINGS the setup reports a damaged frame by its own
#                           words; the texts would only cost bytes
#   DYNAMIC_BMI2=0          no run-time switch to BMI2 code: XP-era
#                           processors lack it, and the switch doubles the
#                           hot loops
target_compile_definitions(vespodar_zstd PRIVATE ZSTD_DISABLE_ASM ZSTD_LEGACY_SUPPORT=0
                           ZSTD_STRIP_ERROR_STRINGS DYNAMIC_BMI2=0)
# The decoder's hot loops at -O2: the setup's -Os halves their speed.
target_compile_options(vespodar_zstd PRIVATE -O2 -w)
