# Cross build for 64-bit Windows against DLLs: the Qt built for Windows by
# tools/build-qt-windows, and the window linked against it. The MinGW runtime (libgcc_s_seh,
# libstdc++, libwinpthread) is one DLL each, shared by Qt and the programs, and shipped beside
# them.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
