# Cross-builds the Windows modules with the MinGW-w64 compilers of the posix
# thread model. Usage: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(RKDRV_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${RKDRV_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RKDRV_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${RKDRV_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${RKDRV_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every module carries its own copy of the compiler's runtime (libstdc++,
# libgcc, winpthread), so it imports system DLLs only and runs from any
# folder. All of them still allocate from msvcrt's one heap.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
