# Cross-builds for 64-bit Windows with Debian's MinGW-w64 compilers (packages
# g++-mingw-w64-x86-64-posix and gcc-mingw-w64-x86-64-posix).
#
# The posix threads variant: the vexmor program runs its progress line on a std::thread with a
# std::mutex and a std::condition_variable, which GCC 12's win32 variant does not provide, and
# one toolchain builds the whole tree. Its threading runtime (winpthreads) is linked statically
# with the rest, so nothing of it shows among the DLL's imports.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(VEXMOR_MINGW_TARGET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VEXMOR_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VEXMOR_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${VEXMOR_MINGW_TARGET}-windres)
set(CMAKE_OBJDUMP ${VEXMOR_MINGW_TARGET}-objdump)

# Libraries and headers come from the target's tree only, never from the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${VEXMOR_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C++ runtime, libgcc and winpthreads go inside every binary: the DLL and the programs
# import nothing but Windows' own DLLs, so a host needs no MinGW files beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# Target programs (tests, test discovery, the golden fingerprints) run under Wine.
find_program(VEXMOR_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/lib64/wine NO_CMAKE_FIND_ROOT_PATH)
if(VEXMOR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VEXMOR_WINE})
endif()
