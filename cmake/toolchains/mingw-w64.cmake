# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (the posix-threads variants, which
# give std::thread and friends). Programs are linked statically so they run under Wine or on a
# bare Windows machine without the compiler's DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PLINDOR_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PLINDOR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PLINDOR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PLINDOR_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PLINDOR_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Lets CMake and CTest run the built programs (test discovery, ctest) under Wine.
find_program(PLINDOR_WINE wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(PLINDOR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PLINDOR_WINE})
endif()
