# Cross build for 32-bit Windows with Debian's MinGW-w64: the programs users get.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(PRODUCTS_MINGW_TRIPLET i686-w64-mingw32)
set(PRODUCTS_WINDOWS_BITS 32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
