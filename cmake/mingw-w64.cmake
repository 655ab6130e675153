# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (the posix thread
# model, which std::thread and GoogleTest need) and runs the results under wine.
#
#   cmake -S . -B build-windows-engine -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DTESSAPAK_GUI=OFF
#
# Libraries built for Windows elsewhere (Qt, say) are found by giving their
# install prefix in CMAKE_FIND_ROOT_PATH on the command line; GoogleTest and
# CLI11 come from Debian's sources and headers (see the top CMakeLists.txt).

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TESSAPAK_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TESSAPAK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSAPAK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSAPAK_MINGW_TRIPLET}-windres)

# Host headers and libraries (/usr/include, /usr/lib) must never leak into a
# Windows build; host programs (moc, rcc, wine) may be used.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${TESSAPAK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One .exe that runs on a bare Windows: no libstdc++, libgcc or winpthread DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(TESSAPAK_WINE wine)
if(TESSAPAK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TESSAPAK_WINE})
endif()
