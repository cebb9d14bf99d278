# The package the setup carries: one content file of the product.
#
# By default the build embeds a deterministic stand-in for vdq2.cok (the real
# file is the product's data). -DVESPODAR_PACKAGE_FILE=/path/to/file embeds
# any other file instead.
set(VESPODAR_PACKAGE_FILE "" CACHE FILEPATH "content file to embed (empty: the stand-in)")
set(VESPODAR_PACKAGE_NAME "vdq2" CACHE STRING "resource name and base name of the installed file")
set(VESPODAR_PACKAGE_TYPE "cok" CACHE STRING "resource type and extension of the installed file")
set(VESPODAR_PACKAGE_VERSION "1" CACHE STRING "version number of the package")
# UTF-8; the quoted title followed by the word for version and a blank.
set(VESPODAR_PACKAGE_TITLE "\"Тарвелин\" версии " CACHE STRING "title of the content pack")
# The title from a file, as given: a value on the command line loses its
# trailing blank on the way through the cache, and the blank is what keeps the
# title apart from the version number that follows it.
set(VESPODAR_PACKAGE_TITLE_FILE "" CACHE FILEPATH "UTF-8 file holding the title (overrides the title)")
if(VESPODAR_PACKAGE_TITLE_FILE)
  file(READ "${VESPODAR_PACKAGE_TITLE_FILE}" VESPODAR_PACKAGE_TITLE)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${VESPODAR_PACKAGE_TITLE_FILE}")
endif()
# With the guard on, a newer installed file is replaced only after the user
# agreed to the downgrade.
option(VESPODAR_GUARD_VERSIONS "ask before a newer installed file is replaced by an older one" OFF)
if(VESPODAR_GUARD_VERSIONS)
  set(VESPODAR_GUARD_VERSIONS_C true)
else()
  set(VESPODAR_GUARD_VERSIONS_C false)
endif()
# How the package is carried: stored (the file's bytes as they are),
# compressed or delta (a header and a zstd frame, install/package_encoding.h,
# made by tools/encode_package.py; the setup then links zstd's decoder).
set(VESPODAR_PACKAGE_ENCODING "stored" CACHE STRING "stored, compressed or delta")
set_property(CACHE VESPODAR_PACKAGE_ENCODING PROPERTY STRINGS stored compressed delta)
if(NOT VESPODAR_PACKAGE_ENCODING MATCHES "^(stored|compressed|delta)$")
  message(FATAL_ERROR "VESPODAR_PACKAGE_ENCODING must be stored, compressed or delta")
endif()
# The setup's own version, as Explorer shows it.
set(VESPODAR_SETUP_VERSION "1.0.0.1" CACHE STRING "version of the setup executable (a.b.c.d)")

find_package(Python3 REQUIRED COMPONENTS Interpreter)

if(VESPODAR_PACKAGE_FILE)
  set(VESPODAR_PACKAGE_PATH "${VESPODAR_PACKAGE_FILE}")
else()
  set(VESPODAR_PACKAGE_PATH "${CMAKE_BINARY_DIR}/package/${VESPODAR_PACKAGE_NAME}.${VESPODAR_PACKAGE_TYPE}")
  add_custom_command(
    OUTPUT "${VESPODAR_PACKAGE_PATH}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/package"
    COMMAND Python3::Interpreter "${CMAKE_SOURCE_DIR}/tools/make_stand_in_package.py"
            "${VESPODAR_PACKAGE_PATH}" --version ${VESPODAR_PACKAGE_VERSION}
    DEPENDS "${CMAKE_SOURCE_DIR}/tools/make_stand_in_package.py"
    COMMENT "Making the stand-in package")
endif()
add_custom_target(vespodar_package DEPENDS "${VESPODAR_PACKAGE_PATH}")
