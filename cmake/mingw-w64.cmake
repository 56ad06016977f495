# Cross build for 64-bit Windows with mingw-w64 (the -posix thread variant),
# run under Wine. Usage:
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#         -DKALVORIN_UI=OFF -DKALVORIN_BENCHMARKS=OFF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KALVORIN_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KALVORIN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KALVORIN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KALVORIN_MINGW_TRIPLET}-windres)

# Look for headers, libraries and packages of the target only; the host's
# would shadow mingw's own.
set(CMAKE_FIND_ROOT_PATH /usr/${KALVORIN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything static (libgcc, libstdc++, winpthread): the executables need no
# DLL beyond those of Windows itself.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# Windows 7 and later (GetTickCount64, GetTimeFormatEx).
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 UNICODE _UNICODE)

# ctest and test discovery run the executables through Wine, in a prefix of
# the build's own.
set(KALVORIN_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh ${KALVORIN_WINE_PREFIX})
