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
# What trades the decoder's size against its speed: the -O level of its hot
# loops (the Huffman decoding of literals, the execution of sequences), that
# of the rest (frame and block headers, table building: once a block), and
# zstd's own size switches. bench/decoder_options.sh builds the setup with
# each choice in VESPODAR_ZSTD_TRIAL (a list: the two -O levels, then
# definitions) and measures both. Measured on 2026-12-10 (the compressed
# setup's bytes above its package, 32-bit / twin; the twin's decoding of the
# benchmark's compressed data, library and text packages, MB/s, fastest of 7,
# pages in memory; the 32-bit speed was not measured):
#   -O2                                  161,254 / 158,694 B   719  669  870
#   -O2 HUF_FORCE_DECOMPRESS_X1          148,966 / 142,310 B   717  672  950  (taken)
#   -O2 ..._SEQUENCES_SHORT              148,454 / 150,502 B   471  536  701
#   -O2 both                             136,166 / 134,118 B   526  442  790
#   -O2 hot, -Os the rest, X1            144,358 / 138,214 B   628  541  825
#   -Os X1                               127,974 / 130,022 B   546  511  788
#   -Os both, ZSTD_NO_INLINE             115,686 / 117,734 B   268  249  400
# HUF_FORCE_DECOMPRESS_X1 keeps one Huffman decoder of zstd's two (symbol by
# symbol, not two at a time): 12 KB less at no speed that the machine could
# tell. The short-sequence switch drops the prefetching loop that long
# offsets take, and -Os anywhere costs a sixth of the speed or more.
set(VESPODAR_ZSTD_TRIAL "" CACHE STRING "other size and speed options of the decoder, to measure")
set(zstd_hot ${zstd_lib}/decompress/huf_decompress.c ${zstd_lib}/decompress/zstd_decompress_block.c)
if(VESPODAR_ZSTD_TRIAL)
  list(POP_FRONT VESPODAR_ZSTD_TRIAL zstd_hot_optimize zstd_optimize)
  target_compile_options(vespodar_zstd PRIVATE ${zstd_optimize} -w)
  set_source_files_properties(${zstd_hot} PROPERTIES COMPILE_OPTIONS ${zstd_hot_optimize})
  target_compile_definitions(vespodar_zstd PRIVATE ${VESPODAR_ZSTD_TRIAL})
  return()
endif()
target_compile_options(vespodar_zstd PRIVATE -O2 -w)
target_compile_definitions(vespodar_zstd PRIVATE HUF_FORCE_DECOMPRESS_X1)
