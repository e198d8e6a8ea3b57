# Cross-builds 64-bit Windows programs with MinGW-w64 (the posix thread
# model, for std::thread), linked statically so that no DLL has to travel
# with them. The test programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILLMARK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILLMARK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLMARK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLMARK_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLMARK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(QUILLMARK_WINE NAMES wine wine64)
if(QUILLMARK_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLMARK_WINE})
endif()

# GCC 12 warns about overlapping copies inside libstdc++'s own string code at
# -O3 where there are none (GCC bug 105329).
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
