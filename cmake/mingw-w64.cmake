# Cross build for 64-bit Windows with Debian's MinGW-w64 compiler, linked statically, so the
# .exe files run without MinGW DLLs beside them.
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DVA5VIVI_GUI=OFF
# The window links against Qt's DLLs and takes cmake/mingw-w64-shared.cmake instead.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Windows 7 API level: the comm, COM and SetupAPI calls we use are all older than that. (Qt 6
# needs Windows 10 and sets its own level, so the shared build leaves it to Qt.)
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=0x0601 -DWINVER=0x0601")
