# Cross build for 64-bit Windows with Debian's MinGW-w64 compiler, linked statically, so the
# .exe files run without MinGW DLLs beside them.
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DVA5VIVI_GUI=OFF
# The window links against Qt's DLLs and takes cmake/mingw-w64-shared.cmake instead.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
