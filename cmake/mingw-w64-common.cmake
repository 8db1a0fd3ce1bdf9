# What both MinGW-w64 toolchain files share: Debian's cross compiler for 64-bit Windows with the
# posix thread model (the win32 variant has no std::thread or std::mutex), target libraries and
# headers from the MinGW tree only, and Wine to run the .exe files of tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VA5VIVI_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VA5VIVI_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VA5VIVI_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VA5VIVI_MINGW_TRIPLE}-windres)

# Look for target libraries and headers in the MinGW tree and the prefixes handed in
# (-DCMAKE_FIND_ROOT_PATH=..., such as the Qt built for Windows) only, never the Linux ones;
# programs are the build machine's.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${VA5VIVI_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(VA5VIVI_WINE NAMES wine wine64)
if(VA5VIVI_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VA5VIVI_WINE})
endif()
