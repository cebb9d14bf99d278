# Compiler and linker flags, each with the reason it is there.
#
# The setup and native presets also make every warning an error
# (CMAKE_COMPILE_WARNING_AS_ERROR, CMakePresets.json): the shipped code and the
# unit tests build clean, so a new warning stops the build rather than hiding
# among the others. The Win32 tests' build compiles GoogleTest's own sources,
# whose warnings are not ours to fix; nothing ships from it or the fuzz build.

if(VESPODAR_WINDOWS)
  # -Os: the setup is downloaded; size beats speed everywhere except the
  #      size walk, which is bounded by the file system anyway.
  # -ffunction-sections -fdata-sections with --gc-sections: drop what the
  #      static runtime brings in but nothing calls.
  # -fno-ident: no compiler banner in .comment, which would differ between
  #      otherwise identical builds on machines with other GCC patch levels.
  # -Oz in the setup itself: about 300 bytes of code less than -Os. Its one
  #      hot loop, SHA-256, keeps -O2 (base/CMakeLists.txt); the rest of a
  #      run waits on the disk and on Windows, not on its own code.
  if(VESPODAR_SETUP)
    set(CMAKE_C_FLAGS_RELEASE "-Oz")
    set(CMAKE_CXX_FLAGS_RELEASE "-Oz")
  else()
    set(CMAKE_C_FLAGS_RELEASE "-Os")
    set(CMAKE_CXX_FLAGS_RELEASE "-Os")
  endif()
  # -mpreferred-stack-boundary=2 in the 32-bit setup: 32-bit Windows promises
  #      a thread's stack only 4-byte alignment, so keeping it at 16 bought
  #      nothing but the padding around every call (about 250 bytes). The one
  #      function with SSE operands, the SHA instructions, aligns its own
  #      frame (force_align_arg_pointer).
  if(VESPODAR_SETUP AND CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    add_compile_options(-mpreferred-stack-boundary=2)
    add_link_options(-mpreferred-stack-boundary=2)
  endif()
  add_compile_options(-ffunction-sections -fdata-sections -fno-ident
                      -Wall -Wextra)
  # -static: no libstdc++/libgcc/winpthread DLL beside the .exe.
  # --no-insert-timestamp: the PE header's time stamp is the one byte range
  #      that makes two builds of the same sources differ.
  # --gc-sections: see above. -s: symbols are of no use to users and would
  #      carry build paths.
  # --dynamicbase --nxcompat: ASLR and DEP, as any modern installer has;
  #      older systems ignore the flags (XP SP3 acts on DEP only when the
  #      process asks: the entry does, SetProcessDEPPolicy).
  # --tsaware: on a terminal server Windows would otherwise give the setup a
  #      per-user view of the Windows directory and the registry (as NSIS
  #      sets it for its installers).
  # --major/minor-subsystem-version 5.1: an image that says 6.0 refuses to
  #      start on Windows XP.
  add_link_options(-static -static-libgcc -static-libstdc++
                   -Wl,--no-insert-timestamp -Wl,--gc-sections -s
                   -Wl,--dynamicbase -Wl,--nxcompat -Wl,--tsaware
                   -Wl,--major-subsystem-version,5 -Wl,--minor-subsystem-version,1
                   -Wl,--major-os-version,5 -Wl,--minor-os-version,1)
  if(VESPODAR_SETUP)
    # Link-time optimisation: the compiler sees the whole program at once and
    # drops or merges what one unit cannot know is unused (about 23 KB of
    # code). GCC 12 for this target stops with an internal error when it cuts
    # the program into partitions, so it gets one.
    set(CMAKE_INTERPROCEDURAL_OPTIMIZATION ON)
    add_link_options(-flto-partition=one)
    # -fno-rtti: nothing asks an object's type at run time (3.5 KB).
    # -fno-exceptions: every step reports its outcome as a value; without
    #      exceptions the unwinder, its tables and the library's exception
    #      types stay out (setup/library_errors_win.cpp ends the run where the
    #      library would throw).
    # -fno-asynchronous-unwind-tables: with nothing to unwind, the frame
    #      tables would only be dead weight.
    # -fno-threadsafe-statics: a local static is first used on the setup's
    #      one thread; the lock around its start would bring the library's
    #      guard and its error path.
    add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-fno-rtti> $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions>
                        -fno-asynchronous-unwind-tables
                        $<$<COMPILE_LANGUAGE:CXX>:-fno-threadsafe-statics>)
  endif()
  if(NOT CMAKE_BUILD_TYPE)
    set(CMAKE_BUILD_TYPE Release CACHE STRING "" FORCE)
  endif()
  # Build paths must not reach the binary (__FILE__ in asserts and the like).
  add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)
else()
  # The unit tests run every decision under AddressSanitizer and UBSan; a
  # report fails the test instead of printing and going on.
  add_compile_options(-g -O1 -Wall -Wextra -fno-omit-frame-pointer
                      -fsanitize=address,undefined -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
