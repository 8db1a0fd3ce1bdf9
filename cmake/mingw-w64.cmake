# Cross build for 64-bit Windows with Debian's MinGW-w64 compiler.
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DVA5VIVI_GUI=OFF
# The posix thread model is required: the win32 variant of the compiler has no std::thread or
# std::mutex. Everything is linked statically, so the .exe files run without MinGW DLLs beside
# them. Tests run under Wine (ctest and gtest_discover_tests use the emulator below).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VA5VIVI_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VA5VIVI_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VA5VIVI_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VA5VIVI_MINGW_TRIPLE}-windres)

# Look for target libraries and headers in the MinGW tree only (never the Linux ones);
# programs are the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${VA5VIVI_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Windows 7 API level: the comm, COM and SetupAPI calls we use are all older than that.
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=0x0601 -DWINVER=0x0601")

find_program(VA5VIVI_WINE NAMES wine wine64)
if(VA5VIVI_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VA5VIVI_WINE})
endif()
